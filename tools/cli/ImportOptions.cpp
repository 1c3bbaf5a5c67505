#include "tools/cli/ImportOptions.h"

#include "app/session/ApplicationSettings.h"
#include "data/Errors.h"
#include "data/NumberText.h"

const char* const ImportUsage =
    "usage: meridax-cli import --port PATH [--baud N] --to OUTPUT [--page all|absolute|relative]\n"
    "                          [--header] [--device-details] [--separator ,|.] [--timeout S]\n";

const char* const ImportHelp =
    "import: opens the serial port PATH (a name that `meridax-cli ports` lists, or a\n"
    "pseudo-terminal such as meridax-meter-sim's), asks the meter for its name and prints it,\n"
    "reads the meter's memory and writes OUTPUT as `meridax-cli convert` writes a dump:\n"
    "  OUTPUT ending in .xls  the spreadsheet file of the Excel export\n"
    "  OUTPUT ending in .mxe  the measurement file, as Save writes it (always page all)\n"
    "  OUTPUT -               the clipboard text on standard output (the name then goes to\n"
    "                         standard error)\n"
    "  --baud N          line speed (default 19200), 8 data bits, no parity, 1 stop bit\n"
    "  --page, --header, --separator   as for convert\n"
    "  --device-details  begin with the device line: the meter's name\n"
    "  --timeout S       give up when the meter stays silent for S seconds (default 30)\n"
    "The connect waits 1.1 s before it asks for the name, as the window does. Bytes received\n"
    "are shown on standard error when it is a terminal. Errors, a silent meter and a port\n"
    "that hangs up give a message and exit code 1; wrong usage gives exit code 2. Ctrl+C\n"
    "(or SIGTERM, SIGHUP) closes the port before the tool ends, with exit code 128 + signal.\n";

namespace {

double ParseSeconds(const std::string& text) {
    // The same "." grammar as the measurement numbers, whatever the locale.
    double value = 0;
    try {
        value = TextToFloat(text);
    } catch (const EConvertError&) {
        value = 0;
    }
    if (value <= 0 || value > 1e6)
        throw EImportUsage("--timeout wants a number of seconds above 0, not '" + text + "'");
    return value;
}

}  // namespace

TImportOptions ParseImportOptions(const std::vector<std::string>& args) {
    TImportOptions options;
    bool havePort = false;
    bool deviceDetails = false;
    // The output options go to convert's reader, after a stand-in for its INPUT.
    std::vector<std::string> outputArgs{"-"};
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string word = args[i];
        std::string value;
        bool inlineValue = false;
        if (auto eq = word.find('='); word.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = word.substr(eq + 1);
            word.resize(eq);
            inlineValue = true;
        }
        auto takeValue = [&]() -> std::string {
            if (inlineValue) {
                return value;
            }
            if (i + 1 >= args.size()) {
                throw EImportUsage(word + " wants a value");
            }
            return args[++i];
        };
        if (word == "--help" || word == "-h") {
            options.Help = true;
        } else if (word == "--port") {
            options.Port = takeValue();
            havePort = !options.Port.empty();
        } else if (word == "--baud") {
            std::string text = takeValue();
            try {
                options.Baud = ParseBaudText(text);
            } catch (const EConvertError& e) {
                throw EImportUsage(std::string("--baud: ") + e.what());
            }
        } else if (word == "--timeout") {
            options.TimeoutSeconds = ParseSeconds(takeValue());
        } else if (word == "--device-details") {
            if (inlineValue) {
                throw EImportUsage("--device-details takes no value");
            }
            deviceDetails = true;
        } else if (word == "--device") {
            throw EImportUsage("the device line comes from the meter: use --device-details");
        } else if (word == "--to" || word == "--page" || word == "--separator") {
            outputArgs.push_back(word);
            outputArgs.push_back(takeValue());
        } else if (word.size() > 1 && word[0] == '-') {
            outputArgs.push_back(args[i]);
        } else {
            throw EImportUsage("unexpected word '" + args[i] + "'");
        }
    }
    if (options.Help) {
        return options;
    }
    if (!havePort) {
        throw EImportUsage("--port PATH is missing");
    }
    try {
        options.Output = ParseConvertOptions(outputArgs);
    } catch (const EConvertUsage& e) {
        throw EImportUsage(e.what());
    }
    if (deviceDetails && options.Output.outputKind == TOutputKind::Mxe) {
        throw EImportUsage("--device-details applies to .xls and - output only");
    }
    options.Output.device = deviceDetails;
    return options;
}
