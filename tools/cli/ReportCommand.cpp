#include <unistd.h>

#include <string>
#include <vector>

#include "MeridaxVersion.h"
#include "data/MeasurementTable.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"
#include "export/CsvExport.h"
#include "export/ExportFields.h"
#include "export/XlsxExport.h"
#include "report/ReportInput.h"
#include "tools/cli/BudgetFile.h"
#include "tools/cli/Commands.h"
#include "tools/cli/MeraniaInput.h"
#include "tools/cli/OutputFile.h"
#include "tools/cli/ReportPdf.h"
#include "tools/cli/StopSignalWatch.h"
#include "tools/cli/VerdictTable.h"
#include "verdict/Verdict.h"

namespace {

// The plain-text table, then the counts of the relative rows, of the fibres and of the
// absolute rows; all is one verdict per record, verdicts one per row of table.
std::string TextReport(const TReportOptions& options, const TMeraniaArray& records,
                       const TMeasurementTable& table, const std::vector<TVerdict>& all,
                       const std::vector<TVerdict>& verdicts) {
    const auto onPage = [&](TTablePage kind) {
        return options.page == TTablePage::All || options.page == kind
                   ? PageVerdicts(all, records, kind)
                   : std::vector<TVerdict>();
    };
    const std::string device =
        options.device ? Latin1ToUtf8(options.deviceLabel) + "\n\n" : std::string();
    const std::vector<TFibreResult> fibres = options.page == TTablePage::Absolute
                                                 ? std::vector<TFibreResult>()
                                                 : FibreResults(records, all);
    // The table and the device label hold 8-bit texts, as the meter's; the terminal wants UTF-8.
    return device + Latin1ToUtf8(VerdictTableText(table, verdicts)) + '\n' +
           VerdictCountsText(onPage(TTablePage::Relative), onPage(TTablePage::Absolute), fibres);
}

}  // namespace

int RunReport(const TReportOptions& options) {
    // A budget that cannot be used stops the report before the input is read.
    const TBudget budget = ReadCommandLineBudget(options.budgetFile);
    const TMeraniaArray records = ReadMeraniaInput(options.input);
    const TStopSignalWatch stopSignals("meridax-cli report: interrupted\n");

    TMeasurementTable table(options.page);
    FillMeasurementTable(records, table);
    table.SetAllChecked(true);
    const std::vector<TVerdict> all = JudgeRecords(budget, records);
    const std::vector<TVerdict> verdicts = PageVerdicts(all, records, options.page);
    const std::string deviceLine =
        options.device ? DeviceLineFromLabel(options.deviceLabel) : std::string();
    TExportOptions exportOptions;
    exportOptions.ExportHeader = true;
    exportOptions.DeviceDetails = deviceLine;
    exportOptions.DeviceName = options.deviceLabel;
    exportOptions.Verdicts = &verdicts;
    exportOptions.DecimalSeparator = options.separator;
    exportOptions.BudgetDescription = BudgetMethodText(budget);

    switch (options.outputKind) {
        case TReportOutput::Pdf: {
            TReportInput input =
                PageReportInput(table, verdicts, budget, deviceLine, MERIDAX_VERSION);
            if (!options.title.empty())
                input.Title = options.title;
            WriteReportPdf(input, options.output);
            break;
        }
        case TReportOutput::Xlsx:
            ExportToXlsx(table, records, exportOptions, options.output);
            break;
        case TReportOutput::Csv:
            if (options.toStandardOutput)
                WriteCsv(table, exportOptions, STDOUT_FILENO, "-");
            else
                ExportToCsv(table, exportOptions, options.output);
            break;
        case TReportOutput::Text:
            WriteStandardOutput(TextReport(options, records, table, all, verdicts));
            break;
    }
    const TVerdictCounts counts = CountVerdicts(verdicts);
    return counts.Fail + counts.Check > 0 ? ReportFailedExitCode : 0;
}
