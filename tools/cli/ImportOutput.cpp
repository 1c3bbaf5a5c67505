#include "tools/cli/ImportOutput.h"

#include <string>

#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "data/TextFile.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"
#include "export/uNativeXLSExport.h"
#include "tools/cli/OutputFile.h"

void WriteImportOutput(const TConvertOptions& options) {
    TMeasurementTable table(options.outputKind == TOutputKind::Mxe ? TTablePage::All
                                                                   : options.page);
    FillMeasurementTable(Merania, table);
    table.SetAllChecked(true);
    const std::string deviceLine =
        options.device ? DeviceLineFromLabel(options.deviceLabel) : std::string();
    switch (options.outputKind) {
        case TOutputKind::Mxe:
            WriteTextFile(options.output, ListViewToText(table, false));
            break;
        case TOutputKind::Xls:
            ReplaceFile(options.output, [&](const std::string& path) {
                ExportListViewToXLS(table, true, options.header, deviceLine, options.separator,
                                    path);
            });
            break;
        case TOutputKind::Text:
            WriteStandardOutput(
                BuildClipboardText(table, options.device, deviceLine, options.header));
            break;
    }
}
