#include "tools/cli/ImportOutput.h"

#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "data/TextFile.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"
#include "export/uNativeXLSExport.h"

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void WriteImportOutput(const TImportOptions& options, const std::string& deviceLabel) {
    TMeasurementTable all(TTablePage::All);
    TMeasurementTable absolute(TTablePage::Absolute);
    TMeasurementTable relative(TTablePage::Relative);
    FillMeasurementTables(Merania, all, absolute, relative);
    if (EndsWith(options.Output, ".mxe")) {
        WriteTextFile(options.Output, ListViewToText(all, false));
        return;
    }
    const TMeasurementTable& table = options.Page == TTablePage::Absolute   ? absolute
                                     : options.Page == TTablePage::Relative ? relative
                                                                            : all;
    ExportListViewToXLS(table, false, options.Header,
                        options.DeviceDetails ? DeviceLineFromLabel(deviceLabel) : "",
                        options.Separator, options.Output);
}
