// The job's PDF report of a generated job, timed; not run by ctest. Writes the same rows as a
// workbook for LibreOffice to convert (bench/report/job-report-vs-libreoffice.sh runs both).
//   meridax-bench-job-report PAIRS OUT.pdf [ROWS.xlsx]
// PAIRS pairs of A→B and B→A readings: PAIRS / 2 fibres of 144-fibre cables at 1310 and
// 1550 nm, a download for each direction, and a third re-testing one fibre in fifty A→B.
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "jobs/JobResults.h"
#include "report/JobReport.h"
#include "report/OffscreenGui.h"

namespace {

TDownload Download(std::int64_t number, const char* date, TDirection direction) {
    TDownload download;
    download.Number = number;
    download.Meter = number == 3 ? "OLM-55\tSN 0530002" : "OLM-45\tSN 0412871";
    download.Operator = number == 2 ? "Bo Chan" : "Ann Lee";
    download.TestDate = date;
    download.Direction = direction;
    return download;
}

TJob MakeJob() {
    TJob job;
    job.Name = "Campus backbone";
    job.Customer = "Northwind Hospital";
    job.Site = "North campus";
    job.Contractor = "Lumen Fibre Works";
    job.Budgets = {{R"({"name": "Backbone", "loss_sign": "negative",)"
                    R"( "max_loss_db": {"1310": 1.0, "1550": 0.8}})",
                    "2026-11-01T08:00:00.000000Z"}};
    return job;
}

std::vector<TDownload> MakeDownloads(int pairs) {
    std::vector<TDownload> downloads{Download(1, "2026-11-02", TDirection::AToB),
                                     Download(2, "2026-11-03", TDirection::BToA),
                                     Download(3, "2026-11-04", TDirection::AToB)};
    for (int fibre = 0; fibre < pairs / 2; ++fibre) {
        const std::string cable = "Riser " + std::to_string(fibre / 144 + 1);
        const std::string name = std::to_string(fibre % 144 + 1);
        for (const double waveLength : {1310.0, 1550.0}) {
            const double loss = -0.2 - (fibre % 83) / 100.0;
            downloads[0].Readings.push_back(
                {{cable, name, waveLength, loss, -10, true}, TDirection::AToB});
            downloads[1].Readings.push_back(
                {{cable, name, waveLength, loss - 0.04, -10, true}, TDirection::BToA});
            if (fibre % 50 == 0)
                downloads[2].Readings.push_back(
                    {{cable, name, waveLength, -0.3, -10, true}, TDirection::AToB});
        }
    }
    return downloads;
}

void Number(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const TFigure& figure) {
    if (figure)
        worksheet_write_number(sheet, row, column, *figure, nullptr);
}

// The rows as the report's results table has them, numbers as numbers.
bool WriteRows(const TJobResults& results, const char* path) {
    lxw_workbook* book = workbook_new(path);
    if (book == nullptr)
        return false;
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    const char* captions[] = {"Cable",   "Fiber", "WaveLength", "A→B",     "B→A",
                              "Average", "Limit", "Margin",     "Verdict", "Note"};
    for (lxw_col_t column = 0; column < 10; ++column)
        worksheet_write_string(sheet, 0, column, captions[column], nullptr);
    lxw_row_t row = 1;
    for (const TResultRow& result : results.Rows) {
        worksheet_write_string(sheet, row, 0, result.Cable.c_str(), nullptr);
        worksheet_write_string(sheet, row, 1, result.Fiber.c_str(), nullptr);
        worksheet_write_number(sheet, row, 2, result.WaveLengthKey, nullptr);
        Number(sheet, row, 3, result.Reading.Verdict.Loss);
        Number(sheet, row, 4, result.Partner.Verdict.Loss);
        Number(sheet, row, 5, result.Average);
        Number(sheet, row, 6, result.Limit);
        Number(sheet, row, 7, result.Margin);
        worksheet_write_string(sheet, row, 8, VerdictText(result.Kind), nullptr);
        worksheet_write_string(sheet, row, 9, result.History.empty() ? "" : "re-tested", nullptr);
        ++row;
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s PAIRS OUT.pdf [ROWS.xlsx]\n", argv[0]);
        return 2;
    }
    const TOffscreenGui gui;
    const int pairs = std::atoi(argv[1]);
    const TJob job = MakeJob();
    const std::vector<TDownload> downloads = MakeDownloads(pairs);
    const auto start = std::chrono::steady_clock::now();
    const TJobResults results = ComputeJobResults(job, downloads);
    const double computed = SecondsSince(start);
    TJobReportInput input;
    input.Job = &job;
    input.Downloads = &downloads;
    input.Results = &results;
    input.DateTime = "2026-12-07 14:05";
    const auto written = std::chrono::steady_clock::now();
    WriteJobReport(input, argv[2]);
    std::printf("  job report: %zu rows (%zu pairs), results %.3f s, WriteJobReport %.3f s\n",
                results.Rows.size(), results.Counts.Pairs, computed, SecondsSince(written));
    return argc == 3 || WriteRows(results, argv[3]) ? 0 : 1;
}
