#include "tools/cli/ConvertOptions.h"

#include <algorithm>
#include <cctype>

const char* const ConvertUsage =
    "usage: meridax-cli convert INPUT --to OUTPUT [--page all|absolute|relative] [--header]\n"
    "                           [--device TEXT] [--separator ,|.]\n";

const char* const ConvertHelp =
    "convert: reads a measurement file (INPUT ending in .mxe, first line) or a raw device\n"
    "dump (any other INPUT, or - for standard input) and writes the table of the chosen page\n"
    "(default all), every row counted as ticked:\n"
    "  OUTPUT ending in .xls  the spreadsheet file of the Excel export\n"
    "  OUTPUT ending in .mxe  the measurement file, as Save writes it (always page all)\n"
    "  OUTPUT -               the clipboard text on standard output\n"
    "  --header          begin with the line of column captions (.xls and -)\n"
    "  --device TEXT     begin with the device line; TEXT as the device label shows it,\n"
    "                    four blanks standing for a TAB (.xls and -)\n"
    "  --separator ,|.   put in place of every \".\" in the .xls data cells (default .)\n"
    "Errors go to standard error with exit code 1; wrong usage gives exit code 2. A failed\n"
    "conversion leaves no half-written OUTPUT behind (an OUTPUT in a folder that forbids\n"
    "replacing its files is rewritten in place).\n";

bool HasExtension(const std::string& path, const std::string& ext) {
    if (path.size() <= ext.size())
        return false;
    return std::equal(ext.begin(), ext.end(), path.end() - static_cast<long>(ext.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

namespace {

TTablePage ParsePage(const std::string& text) {
    if (text == "all")
        return TTablePage::All;
    if (text == "absolute")
        return TTablePage::Absolute;
    if (text == "relative")
        return TTablePage::Relative;
    throw EConvertUsage("--page wants all, absolute or relative, not '" + text + "'");
}

}  // namespace

TConvertOptions ParseConvertOptions(const std::vector<std::string>& args) {
    TConvertOptions options;
    bool haveInput = false;
    bool haveOutput = false;
    bool pageGiven = false;
    bool separatorGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string word = args[i];
        std::string value;
        bool inlineValue = false;
        if (word.rfind("--", 0) == 0) {
            if (const std::size_t equals = word.find('='); equals != std::string::npos) {
                value = word.substr(equals + 1);
                word.resize(equals);
                inlineValue = true;
            }
        }
        const auto takeValue = [&]() -> std::string {
            if (inlineValue)
                return value;
            if (i + 1 >= args.size())
                throw EConvertUsage(word + " wants a value");
            return args[++i];
        };
        if (word == "--help" || word == "-h") {
            options.help = true;
        } else if (word == "--to") {
            if (haveOutput)
                throw EConvertUsage("--to given twice");
            options.output = takeValue();
            haveOutput = true;
        } else if (word == "--page") {
            options.page = ParsePage(takeValue());
            pageGiven = true;
        } else if (word == "--header") {
            if (inlineValue)
                throw EConvertUsage("--header takes no value");
            options.header = true;
        } else if (word == "--device") {
            options.deviceLabel = takeValue();
            options.device = true;
        } else if (word == "--separator") {
            options.separator = takeValue();
            if (options.separator != "," && options.separator != ".") {
                throw EConvertUsage("--separator wants , or ., not '" + options.separator + "'");
            }
            separatorGiven = true;
        } else if (word.size() > 1 && word[0] == '-') {
            throw EConvertUsage("unknown option '" + args[i] + "'");
        } else {
            if (haveInput)
                throw EConvertUsage("one INPUT only, not also '" + word + "'");
            options.input = word;
            haveInput = true;
        }
    }
    if (options.help)
        return options;
    if (!haveInput)
        throw EConvertUsage("INPUT is missing");
    if (!haveOutput || options.output.empty())
        throw EConvertUsage("--to OUTPUT is missing");

    if (options.output == "-") {
        options.outputKind = TOutputKind::Text;
    } else if (HasExtension(options.output, ".xls")) {
        options.outputKind = TOutputKind::Xls;
    } else if (HasExtension(options.output, ".mxe")) {
        options.outputKind = TOutputKind::Mxe;
    } else {
        throw EConvertUsage("OUTPUT must end in .xls or .mxe, or be - for standard output");
    }
    // Options that would be silently ignored are refused instead.
    if (separatorGiven && options.outputKind != TOutputKind::Xls) {
        throw EConvertUsage("--separator applies to .xls output only");
    }
    if (options.outputKind == TOutputKind::Mxe) {
        if (pageGiven && options.page != TTablePage::All) {
            throw EConvertUsage("a .mxe file always holds page all");
        }
        if (options.header || options.device) {
            throw EConvertUsage("--header and --device apply to .xls and - output only");
        }
    }
    return options;
}
