#include "tools/cli/MeraniaOutput.h"

#include <string>

#include "data/FileReplacement.h"
#include "data/IoErrors.h"
#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "data/TextFile.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"
#include "export/uNativeXLSExport.h"
#include "tools/cli/OutputFile.h"

void WriteMeraniaOutput(const TConvertOptions& options) {
    TMeasurementTable table(options.outputKind == TOutputKind::Mxe ? TTablePage::All
                                                                   : options.page);
    FillMeasurementTable(Merania, table);
    TMeraniaArray().swap(Merania);
    table.SetAllChecked(true);

    const std::string deviceLine =
        options.device ? DeviceLineFromLabel(options.deviceLabel) : std::string();
    switch (options.outputKind) {
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
            WriteStandardOutput(text);
            break;
        }
    }
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
            try {
                ReplaceFile(options.output, [](const auto&...) { throw TTrialDone(); });
            } catch (const TTrialDone&) {
            }
            break;
        case TOutputKind::Text:
            break;
    }
}
