#include "tools/cli/ImportOptions.h"

#include "data/Errors.h"
#include "data/NumberText.h"
#include "session/ApplicationSettings.h"
#include "tools/common/CommandLine.h"

const char* const ImportUsage =
    "usage: meridax-cli import --port PATH [--baud N] --to OUTPUT [--page all|absolute|relative]\n"
    "                          [--header] [--device-details] [--separator ,|.] [--timeout S]\n"
    "                          [--max-time S] [--max-dump MB] [--budget FILE]\n";

namespace {

const char* const ImportHelp =
    "import: opens the serial port PATH (a name that `meridax-cli ports` lists, or a\n"
    "pseudo-terminal such as meridax-meter-sim's), asks the meter for its name and prints it,\n"
    "reads the meter's memory and writes OUTPUT as `meridax-cli convert` writes a dump:\n"
    "  OUTPUT ending in .xls, .xlsx, .csv or .mxe   as for convert\n"
    "  OUTPUT -               the clipboard text on standard output (the name then goes to\n"
    "                         standard error)\n"
    "  --baud N          line speed (default 19200), 8 data bits, no parity, 1 stop bit\n"
    "  --page, --header, --separator, --budget   as for convert\n"
    "  --device-details  begin with the device line: the meter's name\n"
    "  --timeout S       give up when the meter stays silent for S seconds (default 30)\n"
    "  --max-time S      give up when the whole import takes longer than S seconds\n"
    "  --max-dump MB     give up when the dump grows beyond MB megabytes (default 64)\n"
    "The connect waits 1.1 s, then for the line to be quiet for 0.2 s (a meter may still be\n"
    "sending an earlier dump; what it sends is discarded, for at most 30 s), before it asks\n"
    "for the name. Bytes received are shown on standard error when it is a terminal. Errors, a "
    "silent meter and a port\n"
    "that hangs up give a message and exit code 1; wrong usage gives exit code 2. Ctrl+C\n"
    "(or SIGTERM, SIGHUP) closes the port before the tool ends, with exit code 128 + signal.\n";

double ParseSeconds(const std::string& option, const std::string& text) {
    // The same "." grammar as the measurement numbers, whatever the locale.
    double value = 0;
    try {
        value = TextToFloat(text);
    } catch (const EConvertError&) {
        value = 0;
    }
    if (value <= 0 || value > 1e6) {
        throw CLI::ValidationError(option, "wants a number of seconds above 0, not '" + text + "'");
    }
    return value;
}

}  // namespace

std::uint32_t ParseBaudOption(const std::string& text) {
    try {
        return ParseBaudText(text);
    } catch (const EConvertError& error) {
        throw CLI::ValidationError("--baud", error.what());
    }
}

CLI::App& AddImportCommand(CLI::App& app, TImportOptions& options) {
    CLI::App& import = *app.add_subcommand("import");
    SetHelpText(import, std::string(ImportUsage) + '\n' + ImportHelp);
    import.add_option("--port", options.Port)->required();
    import.add_option_function<std::string>(
        "--baud", [&options](const std::string& text) { options.Baud = ParseBaudOption(text);
});
    import.add_option_function<std::string>("--timeout", [&options](const std::string& text) {
        options.TimeoutSeconds = ParseSeconds("--timeout", text);
    });
    import.add_option_function<std::string>("--max-time", [&options](const std::string& text) {
        options.MaxTimeSeconds = ParseSeconds("--max-time", text);
    });
    import.add_option("--max-dump", options.MaxDumpMegabytes)->check(CLI::Range(1, 1 << 20));
    import.add_flag("--device-details", options.Output.device);
    // --device would do nothing here: the name comes from the meter.
    import
        .add_option_function<std::string>("--device",
                                          [](const std::string&) {
                                              throw CLI::ValidationError(
                                                  "the device line comes from the meter: use "
                                                  "--device-details");
    })
        ->group("");
    AddOutputOptions(import, options.Output);
    import.callback([&import, &options] {
        if (options.Port.empty())
            throw CLI::ValidationError("--port PATH is missing");
    if (options.Output.device && HasExtension(options.Output.output, ".mxe"))
        throw CLI::ValidationError("--device-details applies to .xls and - output only");
    FinishOutputOptions(import, options.Output);
    });
    return import;
    }
