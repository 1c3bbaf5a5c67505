#include <iostream>
#include <string>
#include <utility>

#include "data/Errors.h"
#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "data/TextFile.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"
#include "export/uNativeXLSExport.h"
#include "tools/cli/Commands.h"
#include "tools/cli/ConvertOptions.h"
#include "tools/cli/OutputFile.h"

namespace {

std::string ReadInput(const std::string& input) {
    if (input == "-")
        return ReadStandardInput();
    // A measurement file is one line; anything else is a dump as the meter sent it.
    if (HasExtension(input, ".mxe"))
        return ReadTextFile(input);
    return ReadWholeFile(input);
}

// A million records are converted in well under 150 bytes each: the input, Merania and
// the table each go as soon as the next stage has what it needs.
void Convert(const TConvertOptions& options) {
    {
        std::string input = ReadInput(options.input);
        ParseDeviceDump(input);
    }
    TMeasurementTable table(options.outputKind == TOutputKind::Mxe ? TTablePage::All
                                                                   : options.page);
    FillMeasurementTable(Merania, table);
    TMeraniaArray().swap(Merania);
    table.SetAllChecked(true);

    const std::string deviceLine =
        options.device ? DeviceLineFromLabel(options.deviceLabel) : std::string();
    switch (options.outputKind) {
        case TOutputKind::Mxe: {
            // Save writes every row of the All table.
            std::string text = ListViewToText(table, false);
            table = TMeasurementTable();
            WriteTextFile(options.output, text);
            break;
        }
        case TOutputKind::Xls:
            ReplaceFile(options.output, [&](const std::string& path) {
                ExportListViewToXLS(table, true, options.header, deviceLine, options.separator,
                                    path);
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

}  // namespace

int RunConvert(const std::vector<std::string>& args) {
    TConvertOptions options;
    try {
        options = ParseConvertOptions(args);
    } catch (const EConvertUsage& error) {
        std::cerr << "meridax-cli convert: " << error.what() << '\n' << ConvertUsage;
        return 2;
    }
    if (options.help) {
        std::cout << ConvertUsage << '\n' << ConvertHelp;
        return 0;
    }
    try {
        Convert(options);
        return 0;
    } catch (const EInOutError& error) {
        std::cerr << "meridax-cli: " << error.Path() << ": " << error.what() << '\n';
    } catch (const std::exception& error) {
        std::cerr << "meridax-cli: " << error.what() << '\n';
    }
    return 1;
}
