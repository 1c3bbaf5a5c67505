#include "tools/cli/ReportOptions.h"

#include "tools/cli/ConvertOptions.h"
#include "tools/common/CommandLine.h"

const char* const ReportUsage =
    "usage: meridax-cli report INPUT --budget FILE --to OUTPUT [--page all|absolute|relative]\n"
    "                          [--device TEXT] [--title TEXT] [--format text|csv]\n"
    "                          [--separator ,|.]\n";

const char* const ReportHelp =
    "report: reads INPUT as convert does, judges every row of the chosen page (default all)\n"
    "by the loss budget FILE (JSON) and writes the verdicts:\n"
    "  OUTPUT ending in .pdf   the test report (A4)\n"
    "  OUTPUT ending in .xlsx  the workbook with the caption row and the columns Loss (dB),\n"
    "                          Limit (dB), Margin (dB) and Verdict\n"
    "  OUTPUT ending in .csv   the same as CSV\n"
    "  OUTPUT -                a table of the verdicts and their counts on standard output\n"
    "                          (UTF-8); with --format csv the CSV instead\n"
    "  OUTPUT -.csv            the CSV on standard output\n"
    "  --device TEXT     the device line; TEXT as the device label shows it, four blanks\n"
    "                    standing for a TAB\n"
    "  --title TEXT      the report's title (.pdf only; default \"Fiber test report\")\n"
    "  --format text|csv what OUTPUT - gets (default text)\n"
    "  --separator ,|.   the CSV's decimal separator; \",\" makes \";\" the delimiter\n"
    "                    (default .)\n"
    "Exit codes: 0 when no row is FAIL or CHECK, 3 when at least one is, 1 on an error (a\n"
    "budget file or INPUT that cannot be used, an OUTPUT that cannot be written), 2 on wrong\n"
    "usage.\n";

namespace {

// "-" and "-.csv" stand for standard output; --format chooses what "-" gets.
TReportOutput StandardOutputKind(const TReportOptions& options) {
    if (options.output == "-.csv") {
        if (options.format == "text")
            throw CLI::ValidationError("-.csv is CSV; --format text wants OUTPUT -");
        return TReportOutput::Csv;
    }
    return options.format == "csv" ? TReportOutput::Csv : TReportOutput::Text;
}

void FinishReportOptions(const CLI::App& report, TReportOptions& options) {
    options.toStandardOutput = options.output == "-" || options.output == "-.csv";
    if (!options.toStandardOutput)
        RefuseDashOutput(options.output);
    if (options.toStandardOutput) {
        options.outputKind = StandardOutputKind(options);
    } else if (report.count("--format") > 0) {
        throw CLI::ValidationError("--format applies to OUTPUT - only");
    } else if (HasExtension(options.output, ".pdf")) {
        options.outputKind = TReportOutput::Pdf;
    } else if (HasExtension(options.output, ".xlsx")) {
        options.outputKind = TReportOutput::Xlsx;
    } else if (HasExtension(options.output, ".csv")) {
        options.outputKind = TReportOutput::Csv;
    } else {
        throw CLI::ValidationError(
            "OUTPUT must end in .pdf, .xlsx or .csv, or be - for standard output");
    }
    if (report.count("--title") > 0 && options.outputKind != TReportOutput::Pdf)
        throw CLI::ValidationError("--title applies to .pdf output only");
    if (report.count("--separator") > 0 && options.outputKind != TReportOutput::Csv)
        throw CLI::ValidationError("--separator applies to .csv output only");
}

}  // namespace

CLI::App& AddReportCommand(CLI::App& app, TReportOptions& options) {
    CLI::App& report = *app.add_subcommand("report");
    SetHelpText(report, std::string(ReportUsage) + '\n' + ReportHelp);
    report.add_option("INPUT", options.input)->required();
    report.add_option("--budget", options.budgetFile)->required();
    report.add_option("--to", options.output)
        ->required()
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    report.add_option("--page", options.page)
        ->transform(Choice<TTablePage>({{"all", TTablePage::All},
                                        {"absolute", TTablePage::Absolute},
                                        {"relative", TTablePage::Relative}}));
    report.add_option_function<std::string>("--device", [&options](const std::string& text) {
        options.deviceLabel = DeviceLabelOption(text);
        options.device = true;
    });
    report.add_option("--title", options.title);
    report.add_option("--format", options.format)->check(OneOf({"text", "csv"}));
    report.add_option("--separator", options.separator)->check(OneOf({",", "."}));
    report.callback([&report, &options] { FinishReportOptions(report, options); });
    return report;
}
