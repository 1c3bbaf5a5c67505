#include "tools/cli/ImportOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "app/session/ApplicationSettings.h"
#include "data/Errors.h"

const char* const ImportUsage =
    "usage: meridax-cli import --port PATH [--baud N] --to OUTPUT [--page all|absolute|relative]\n"
    "                          [--header] [--device-details] [--separator ,|.] [--timeout S]\n";

namespace {

double ParseSeconds(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value <= 0) {
        throw EImportUsage("--timeout wants a number of seconds above 0, not '" + text + "'");
    }
    return value;
}

TTablePage ParsePage(const std::string& text) {
    if (text == "all") {
        return TTablePage::All;
    }
    if (text == "absolute") {
        return TTablePage::Absolute;
    }
    if (text == "relative") {
        return TTablePage::Relative;
    }
    throw EImportUsage("--page wants all, absolute or relative, not '" + text + "'");
}

}  // namespace

TImportOptions ParseImportOptions(const std::vector<std::string>& args) {
    TImportOptions options;
    bool havePort = false;
    bool haveOutput = false;
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
        if (word == "--port") {
            options.Port = takeValue();
            havePort = !options.Port.empty();
        } else if (word == "--baud") {
            std::string text = takeValue();
            try {
                options.Baud = ParseBaudText(text);
            } catch (const EConvertError& e) {
                throw EImportUsage(std::string("--baud: ") + e.what());
            }
        } else if (word == "--to") {
            options.Output = takeValue();
            haveOutput = !options.Output.empty();
        } else if (word == "--page") {
            options.Page = ParsePage(takeValue());
        } else if (word == "--separator") {
            options.Separator = takeValue();
            if (options.Separator != "," && options.Separator != ".") {
                throw EImportUsage("--separator wants , or .");
            }
        } else if (word == "--timeout") {
            options.TimeoutSeconds = ParseSeconds(takeValue());
        } else if (word == "--header" && !inlineValue) {
            options.Header = true;
        } else if (word == "--device-details" && !inlineValue) {
            options.DeviceDetails = true;
        } else {
            throw EImportUsage("unknown option '" + args[i] + "'");
        }
    }
    if (!havePort) {
        throw EImportUsage("--port is required");
    }
    if (!haveOutput) {
        throw EImportUsage("--to is required");
    }
    return options;
}
