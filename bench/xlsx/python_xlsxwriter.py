"""The same cells as meridax-bench-xlsx, written by python3-xlsxwriter in its constant-memory
mode: the caption row bold, frozen and filtered, cable and fiber as text, the numbers as
numbers, no reference cell for an absolute record. Prints the writing's own time.
    python3 python_xlsxwriter.py DUMP OUTPUT.xlsx
"""
import sys
import time

import xlsxwriter

with open(sys.argv[1], "rb") as file:
    records = [line.split(b"\t") for line in file.read().split(b"\n\r")]
records = [[field.decode("latin-1") for field in r] for r in records if len(r) >= 4]

start = time.monotonic()
workbook = xlsxwriter.Workbook(sys.argv[2], {"constant_memory": True})
workbook.set_properties({"title": "MERIDAX measurements"})
sheet = workbook.add_worksheet("All")
bold = workbook.add_format({"bold": True})
captions = ["Cable", "Fiber", "WaveLength", "dB/dBm", "Reference"]
for column, caption in enumerate(captions):
    sheet.set_column(column, column, max(8.43, len(caption) + 3))
sheet.freeze_panes(1, 0)
sheet.autofilter(0, 0, len(records), 4)
for column, caption in enumerate(captions):
    sheet.write_string(0, column, caption, bold)
for row, record in enumerate(records, start=1):
    sheet.write_string(row, 0, record[0])
    sheet.write_string(row, 1, record[1])
    sheet.write_number(row, 2, float(record[2]))
    sheet.write_number(row, 3, float(record[3]))
    if len(record) > 4 and record[4]:
        sheet.write_number(row, 4, float(record[4]))
workbook.close()
print("python export of %d rows: %.2f s" % (len(records), time.monotonic() - start))
