#include "tools/cli/MeraniaOutput.h"

#include <string>
#include <string_view>
#include <vector>

#include "data/ControlText.h"
#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"
#include "export/CsvExport.h"
#include "export/XlsxExport.h"
#include "export/uNativeXLSExport.h"
#include "sys/FileReplacement.h"
#include "sys/IoErrors.h"
#include "sys/TextFile.h"
#include "tools/cli/BudgetFile.h"
#include "tools/cli/OutputFile.h"
#include "verdict/Verdict.h"

namespace {

TExportOptions ExportOptions(const TConvertOptions& options, const std::string& deviceLine,
                             const std::vector<TVerdict>& verdicts) {
    TExportOptions exportOptions;
    exportOptions.Verdicts = options.budget ? &verdicts : nullptr;
    if (options.budget)
        exportOptions.BudgetDescription = BudgetMethodText(*options.budget);
    exportOptions.ExportHeader = options.header;
    exportOptions.DeviceDetails = deviceLine;
    exportOptions.DeviceName = options.deviceLabel;
    exportOptions.DecimalSeparator = options.separator;
    return exportOptions;
}

// The clipboard's text for a terminal or a pipe: UTF-8 as every other text the tool prints,
// its TABs and CR LF line ends kept, any other control character of the meter's escaped.
std::string StandardOutputText(std::string_view latin1) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= latin1.size(); ++i) {
        const bool lineEnd = i + 1 < latin1.size() && latin1[i] == '\r' && latin1[i + 1] == '\n';
        if (i < latin1.size() && latin1[i] != '\t' && !lineEnd)
            continue;
        out += EscapeLatin1Controls(latin1.substr(start, i - start));
        if (lineEnd)
            out += "\r\n";
        else if (i < latin1.size())
            out += '\t';
        i += lineEnd ? 1 : 0;
        start = i + 1;
    }
    return out;
}

}  // namespace

void ReadOutputBudget(TConvertOptions& options) {
    if (!options.budgetFile.empty())
        options.budget = ReadCommandLineBudget(options.budgetFile);
}

namespace {

// The table (every row ticked) to options.output; records only for the workbook.
void WriteTableOutput(const TConvertOptions& options, TMeasurementTable& table,
                      const TMeraniaArray& records, const std::vector<TVerdict>& verdicts) {
    table.SetAllChecked(true);
    const std::string deviceLine =
        options.device ? DeviceLineFromLabel(options.deviceLabel) : std::string();
    switch (options.outputKind) {
        case TOutputKind::Xlsx:
            ExportToXlsx(table, records, ExportOptions(options, deviceLine, verdicts),
                         options.output);
            break;
        case TOutputKind::Csv:
            ExportToCsv(table, ExportOptions(options, deviceLine, verdicts), options.output);
            break;
        case TOutputKind::Mxe: {
            std::string text = MeasurementFileText(table);
            table = TMeasurementTable();
            WriteTextFile(options.output, text);
            break;
        }
        case TOutputKind::Xls:
            ReplaceFile(options.output, [&](const std::string& path, const std::string& target) {
                ExportListViewToXLS(table, true, options.header, deviceLine, options.separator,
                                    target, path);
            });
            break;
        case TOutputKind::Text: {
            const std::string text =
                BuildClipboardText(table, options.device, deviceLine, options.header);
            table = TMeasurementTable();
            WriteStandardOutput(StandardOutputText(text));
            break;
        }
    }
}

}  // namespace

TTablePage OutputPage(const TConvertOptions& options) {
    return options.outputKind == TOutputKind::Mxe ? TTablePage::All : options.page;
}

bool OutputNeedsRecords(const TConvertOptions& options) {
    return options.outputKind == TOutputKind::Xlsx || options.budget.has_value();
}

void WriteMeraniaOutput(const TConvertOptions& options, TMeraniaArray records) {
    TMeasurementTable table(OutputPage(options));
    FillMeasurementTable(records, table);
    const std::vector<TVerdict> verdicts =
        options.budget ? PageVerdicts(JudgeRecords(*options.budget, records), records, table.Page())
                       : std::vector<TVerdict>();
    // The workbook takes its numbers from the records; every other output only from the table.
    if (options.outputKind != TOutputKind::Xlsx)
        TMeraniaArray().swap(records);
    WriteTableOutput(options, table, records, verdicts);
}

void WriteMeraniaTable(const TConvertOptions& options, TMeasurementTable table) {
    WriteTableOutput(options, table, {}, {});
}

namespace {

// Ends a trial replacement once its temporary file is made.
struct TTrialDone {};

}  // namespace

void CheckOutputCanBeMade(const TConvertOptions& options) {
    switch (options.outputKind) {
        case TOutputKind::Mxe:
            CheckTextFileWritable(options.output);
            break;
        case TOutputKind::Xls:
        case TOutputKind::Xlsx:
        case TOutputKind::Csv:
            try {
                ReplaceFile(options.output, [](const auto&...) { throw TTrialDone(); });
            } catch (const TTrialDone&) {
            }
            break;
        case TOutputKind::Text:
            break;
    }
}
