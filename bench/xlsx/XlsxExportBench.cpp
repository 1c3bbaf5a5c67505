// Converts a dump to .xlsx (or .csv) the way a batch conversion does: parse, fill the All
// table with every row ticked, export with the caption row. Prints the export's own time;
// the whole process's time and peak memory come from /usr/bin/time (xlsx-vs-python.sh).
//   meridax-bench-xlsx DUMP OUTPUT.xlsx|OUTPUT.csv
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "data/MeasurementTable.h"
#include "data/uMeranie.h"
#include "export/CsvExport.h"
#include "export/XlsxExport.h"
#include "sys/TextFile.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: meridax-bench-xlsx DUMP OUTPUT.xlsx|OUTPUT.csv\n");
        return 2;
    }
    try {
        ParseDeviceDump(ReadWholeFile(argv[1]));
        TMeasurementTable table(TTablePage::All);
        FillMeasurementTable(Merania, table);
        table.SetAllChecked(true);
        TExportOptions options;
        options.ExportHeader = true;
        const std::string output = argv[2];
        const auto start = std::chrono::steady_clock::now();
        if (output.ends_with(".csv")) {
            ExportToCsv(table, options, output);
        } else {
            ExportToXlsx(table, Merania, options, output);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("meridax export of %zu rows: %.2f s\n", table.RowCount(), took.count());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
