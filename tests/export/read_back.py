"""Reads an export back with real readers and prints what they see, one fact a line.

read_back.py xlsx FILE [formats]
                         -- openpyxl: properties, sheet, freeze, filter, then every cell as
                            "cell ROW COL s HEX-UTF8" (text), "cell ROW COL n HEX-DOUBLE" (number)
                            or nothing for an empty cell; bold cells add "bold ROW COL" (a blank
                            bold cell too); with "formats", a number in another format than
                            General adds "format ROW COL FORMAT".
read_back.py parts FILE  -- every part of the zip, in order, as "part NAME ok" when Python's XML
                            parser takes it (or it is no XML), else "part NAME ERROR"; then
                            "deflate NAME fastest|normal|stored" from the zip's flag bits.
read_back.py csv FILE D  -- csv module with delimiter D: one line a record, its fields as
                            hex of their UTF-8, separated by blanks ("-" for an empty field).
"""
import csv
import struct
import sys


def hexed(text):
    return text.encode("utf-8").hex() or "-"


def read_xlsx(path, formats):
    import openpyxl
    workbook = openpyxl.load_workbook(path)
    props = workbook.properties
    print("title", hexed(props.title or ""))
    print("subject", hexed(props.subject or ""))
    if props.description:
        print("comments", hexed(props.description))
    print("created", "yes" if props.created is not None else "no")
    print("sheets", " ".join(workbook.sheetnames))
    sheet = workbook.worksheets[0]
    print("freeze", sheet.freeze_panes or "-")
    print("filter", sheet.auto_filter.ref or "-")
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                pass
            elif isinstance(cell.value, str):
                print("cell", cell.row - 1, cell.column - 1, "s", hexed(cell.value))
            elif isinstance(cell.value, float) or isinstance(cell.value, int):
                print("cell", cell.row - 1, cell.column - 1, "n",
                      struct.pack(">d", float(cell.value)).hex())
                if formats and cell.number_format != "General":
                    print("format", cell.row - 1, cell.column - 1, cell.number_format)
            else:
                print("cell", cell.row - 1, cell.column - 1, "?", type(cell.value).__name__)
            if cell.font is not None and cell.font.b:
                print("bold", cell.row - 1, cell.column - 1)


def read_parts(path):
    import xml.etree.ElementTree as ElementTree
    import zipfile
    with zipfile.ZipFile(path) as archive:
        for name in archive.namelist():
            data = archive.read(name)
            verdict = "ok"
            if name.endswith(".xml") or name.endswith(".rels"):
                try:
                    ElementTree.fromstring(data)
                except ElementTree.ParseError as error:
                    verdict = str(error)
            print("part", name, verdict)
        for info in archive.infolist():
            speed = {6: "fastest", 0: "normal"}.get(info.flag_bits & 6, "other")
            print("deflate", info.filename, speed if info.compress_type == 8 else "stored")


def read_csv(path, delimiter):
    with open(path, newline="", encoding="utf-8-sig") as file:
        for record in csv.reader(file, delimiter=delimiter, strict=True):
            print(" ".join(hexed(field) for field in record))


if sys.argv[1] == "xlsx":
    read_xlsx(sys.argv[2], sys.argv[3:] == ["formats"])
elif sys.argv[1] == "parts":
    read_parts(sys.argv[2])
else:
    read_csv(sys.argv[2], sys.argv[3])
