#include "tools/cli/ReportPdf.h"

#include "report/OffscreenGui.h"

void WriteReportPdf(const TReportInput& input, const std::string& path) {
    // The report draws with Qt's fonts and PDF writer, which need an application object; the
    // command line has no display, so it is made on the offscreen platform for this one file.
    const TOffscreenGui gui;
    WriteTestReport(input, path);
}
