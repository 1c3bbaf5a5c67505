#include "tools/cli/ConvertOptions.h"

#include <algorithm>
#include <cctype>

#include "data/Latin1Utf8.h"
#include "tools/common/CommandLine.h"

const char* const ConvertUsage =
    "usage: meridax-cli convert INPUT --to OUTPUT [--page all|absolute|relative] [--header]\n"
    "                           [--device TEXT] [--separator ,|.] [--budget FILE]\n";

const char* const ConvertHelp =
    "convert: reads a measurement file (INPUT ending in .mxe, first line) or a raw device\n"
    "dump (any other INPUT, or - for standard input) and writes the table of the chosen page\n"
    "(default all), every row counted as ticked:\n"
    "  OUTPUT ending in .xls   the spreadsheet file of the Excel export\n"
    "  OUTPUT ending in .xlsx  an Excel workbook whose numbers are number cells\n"
    "  OUTPUT ending in .csv   CSV (UTF-8, CR LF; \",\" between fields, \";\" with --separator ,)\n"
    "  OUTPUT ending in .mxe   the measurement file, as Save writes it (always page all)\n"
    "  OUTPUT -                the clipboard text on standard output\n"
    "  --header          begin with the line of column captions (all but .mxe)\n"
    "  --device TEXT     begin with the device line; TEXT as the device label shows it,\n"
    "                    four blanks standing for a TAB (all but .mxe)\n"
    "  --separator ,|.   put in place of every \".\" in the numbers of .xls data cells and\n"
    "                    of .csv fields (default .)\n"
    "  --budget FILE     judge every row by the loss budget FILE (JSON) and add the columns\n"
    "                    Loss (dB), Limit (dB), Margin (dB) and Verdict (.xlsx and .csv only)\n"
    "Errors go to standard error with exit code 1; wrong usage gives exit code 2. A failed\n"
    "conversion leaves no half-written OUTPUT behind (an OUTPUT in a folder that forbids\n"
    "replacing its files is rewritten in place).\n";

void RefuseDashOutput(const std::string& output) {
    if (output.size() > 2 && output.compare(0, 2, "-.") == 0 &&
        output.find('/') == std::string::npos)
        throw CLI::ValidationError(output +
                                   " is no standard output: write - for standard output, "
                                   "or ./" +
                                   output + " for a file named so");
}

bool HasExtension(const std::string& path, const std::string& ext) {
    if (path.size() <= ext.size())
        return false;
    return std::equal(ext.begin(), ext.end(), path.end() - static_cast<long>(ext.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

void FinishOutputOptions(const CLI::App& command, TConvertOptions& options) {
    if (options.output.empty())
        throw CLI::ValidationError("--to OUTPUT is missing");
    RefuseDashOutput(options.output);
    if (options.output == "-") {
        options.outputKind = TOutputKind::Text;
    } else if (HasExtension(options.output, ".xls")) {
        options.outputKind = TOutputKind::Xls;
    } else if (HasExtension(options.output, ".xlsx")) {
        options.outputKind = TOutputKind::Xlsx;
    } else if (HasExtension(options.output, ".csv")) {
        options.outputKind = TOutputKind::Csv;
    } else if (HasExtension(options.output, ".mxe")) {
        options.outputKind = TOutputKind::Mxe;
    } else {
        throw CLI::ValidationError(
            "OUTPUT must end in .xls, .xlsx, .csv or .mxe, or be - for standard output");
    }
    // A workbook's numbers are number cells: there is no separator to choose.
    if (command.count("--separator") > 0 && options.outputKind != TOutputKind::Xls &&
        options.outputKind != TOutputKind::Csv)
        throw CLI::ValidationError("--separator applies to .xls and .csv output only");
    if (!options.budgetFile.empty() && options.outputKind != TOutputKind::Xlsx &&
        options.outputKind != TOutputKind::Csv)
        throw CLI::ValidationError("--budget applies to .xlsx and .csv output only");
    if (options.outputKind == TOutputKind::Mxe) {
        if (options.page != TTablePage::All)
            throw CLI::ValidationError("a .mxe file always holds page all");
        if (options.header || options.device)
            throw CLI::ValidationError(
                "--header and --device apply to .xls, .xlsx, .csv and - output only");
    }
}

void AddOutputOptions(CLI::App& command, TConvertOptions& options) {
    command.add_option("--to", options.output)
        ->required()
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    command.add_option("--page", options.page)
        ->transform(Choice<TTablePage>({{"all", TTablePage::All},
                                        {"absolute", TTablePage::Absolute},
                                        {"relative", TTablePage::Relative}}));
    command.add_flag("--header", options.header);
    command.add_option("--separator", options.separator)->check(OneOf({",", "."}));
    command.add_option("--budget", options.budgetFile);
}

namespace {

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool IsWellFormedUtf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        if (length == 0 || at + length > text.size())
            return false;
        const auto second = static_cast<unsigned char>(length > 1 ? text[at + 1] : 0x80);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
            return false;
        for (std::size_t next = 1; next < length; ++next) {
            if ((static_cast<unsigned char>(text[at + next]) & 0xC0) != 0x80)
                return false;
        }
        at += length;
    }
    return true;
}

}  // namespace

std::string DeviceLabelOption(const std::string& text) {
    if (const auto latin1 = Utf8ToLatin1(text))
        return *latin1;
    if (IsWellFormedUtf8(text))
        throw CLI::ValidationError("--device",
                                   "'" + text +
                                       "' holds a character beyond Latin-1, which the "
                                       "device line (8-bit, as the meter's) cannot hold");
    return text;
}

CLI::App& AddConvertCommand(CLI::App& app, TConvertOptions& options) {
    CLI::App& convert = *app.add_subcommand("convert");
    SetHelpText(convert, std::string(ConvertUsage) + '\n' + ConvertHelp);
    convert.add_option("INPUT", options.input)->required();
    convert.add_option_function<std::string>("--device", [&options](const std::string& text) {
        options.deviceLabel = DeviceLabelOption(text);
        options.device = true;
    });
    AddOutputOptions(convert, options);
    convert.callback([&convert, &options] { FinishOutputOptions(convert, options); });
    return convert;
}
