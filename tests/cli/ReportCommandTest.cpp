// meridax-cli report and the --budget option of convert and import: the verdicts of a small
// dump with a known budget, the exit codes and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CliTest.h"
#include "export/ReadBack.h"

namespace {

using ReportTest = CliTest;

// With the budget below: PASS (the README's worked example: limit 2.30, margin 0.35), FAIL
// (fixed 1550 nm limit 2.0), CHECK (a gain), PASS (absolute, 0.52 dB inside its window) and
// no verdict (no limit at 850 nm for cable 2).
const std::string VerdictDump =
    "1\t1\t1310\t-1.95\t-10.00\n\r1\t2\t1550\t-2.41\t-10.00\n\r1\t3\t1310\t0.45\t-10.00\n\r"
    "2\t1\t1310\t-3.52\n\r2\t2\t850\t-1.00\t-10.00\n\r\n\r";
const std::string PassingDump = "1\t1\t1310\t-1.95\t-10.00\n\r2\t1\t1310\t-3.52\n\r\n\r";
const std::string Budget = R"({"name": "Riser", "preset": "tia-568-sm-isp",
  "links": [{"cable": "1", "length_m": 500, "connectors": 2, "splices": 1}],
  "max_loss_db": {"1550": 2.0}, "power_dbm": {"1310": {"min": -20, "max": -3}}})";

class ReportRun : public ReportTest {
protected:
    void SetUp() override {
        Put(Path("dump.txt"), VerdictDump);
        Put(Path("pass.txt"), PassingDump);
        Put(Path("budget.json"), Budget);
        Put(Path("bad.json"), R"({"links": [{"cable": "1", "length_m": -5}]})");
    }
};

TEST_F(ReportRun, PlainTextTableAndCounts) {
    const TRun run = Run({"report", Path("dump.txt"), "--budget", Path("budget.json"), "--to", "-",
                          "--device", "OLM-45    SN 7"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(run.out,
              "OLM-45    SN 7\n"
              "\n"
              "Cable  Fiber  WaveLength  Value  Reference   Loss  Limit  Margin  Verdict\n"
              "1      1            1310  -1.95        -10   1.95   2.30    0.35  PASS\n"
              "1      2            1550  -2.41        -10   2.41   2.00   -0.41  FAIL\n"
              "1      3            1310   0.45        -10  -0.45   2.30    2.75  CHECK\n"
              "2      1            1310  -3.52                             0.52  PASS\n"
              "2      2             850     -1        -10   1.00\n"
              "\n"
              "3 relative: 1 pass, 1 fail, 1 check\n"
              "3 fibres: 1 pass, 1 fail, 1 check\n"
              "1 absolute: 1 pass\n"
              "1 without a verdict\n");
}

TEST_F(ReportRun, AUtf8DeviceLabelShowsAsGiven) {
    const TRun run = Run({"report", Path("pass.txt"), "--budget", Path("budget.json"), "--to", "-",
                          "--device", "K\xC3\xB6ln"});
    EXPECT_EQ(run.out.substr(0, 7), "K\xC3\xB6ln\n\n") << run.err;
}

struct TExitCase {
    std::vector<std::string> args;  // after "report"; @ stands for the test's folder
    int exitCode;
    std::string err;  // part of standard error
};

TEST_F(ReportRun, ExitCodes) {
    const TExitCase cases[] = {
        {{"@dump.txt", "--budget", "@budget.json", "--to", "-"}, 3, ""},
        {{"@dump.txt", "--budget", "@budget.json", "--to", "@out.csv"}, 3, ""},
        {{"@dump.txt", "--budget", "@budget.json", "--to", "-", "--page", "absolute"}, 0, ""},
        {{"@pass.txt", "--budget", "@budget.json", "--to", "@pass.xlsx"}, 0, ""},
        {{"@dump.txt", "--budget", "@bad.json", "--to", "-"},
         1,
         "\"links[0].length_m\" must not be negative"},
        {{"@dump.txt", "--budget", "@missing.json", "--to", "-"}, 1, "File not found"},
        {{"@missing.txt", "--budget", "@budget.json", "--to", "-"}, 1, "File not found"},
        {{"@dump.txt", "--to", "-"}, 2, "--budget is required"},
        {{"@dump.txt", "--budget", "@budget.json", "--to", "@out.xls"}, 2, "must end in .pdf"},
        {{"@dump.txt", "--budget", "@budget.json", "--to", "-", "--title", "T"},
         2,
         "--title applies to .pdf output only"},
        {{"@dump.txt", "--budget", "@budget.json", "--to", "-", "--page", "some"}, 2, "wants all"},
    };
    for (const TExitCase& test : cases) {
        std::vector<std::string> args{"report"};
        for (const std::string& arg : test.args)
            args.push_back(arg[0] == '@' ? Path(arg.substr(1)) : arg);
        const TRun run = Run(args);
        EXPECT_EQ(run.exitCode, test.exitCode) << testing::PrintToString(args) << run.err;
        EXPECT_NE(run.err.find(test.err), std::string::npos) << run.err;
        if (test.exitCode == 2) {
            EXPECT_NE(run.err.find("usage: meridax-cli report"), std::string::npos) << run.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(Path("out.xls")));
}

// The verdict columns reach the files: convert's CSV with the decimal comma, the report's
// workbook read back by openpyxl with the caption row on.
TEST_F(ReportRun, BudgetAddsTheVerdictColumns) {
    TRun run = Run({"convert", Path("dump.txt"), "--to", Path("out.csv"), "--budget",
                    Path("budget.json"), "--separator", ",", "--page", "relative"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Read(Path("out.csv")),
              "\xEF\xBB\xBF"
              "Cable;Fiber;WaveLength;dB;Reference;Loss (dB);Limit (dB);Margin (dB);Verdict\r\n"
              "1;1;1310;-1,95;-10;1,95;2,30;0,35;PASS\r\n"
              "1;2;1550;-2,41;-10;2,41;2,00;-0,41;FAIL\r\n"
              "1;3;1310;0,45;-10;-0,45;2,30;2,75;CHECK\r\n"
              "2;2;850;-1;-10;1,00;;;\r\n");

    run = Run({"report", Path("pass.txt"), "--budget", Path("budget.json"), "--to",
               Path("out.xlsx"), "--page", "relative"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> cells = ReadBack({"xlsx", Path("out.xlsx")});
    for (const std::string& line :
         {std::string("filter A1:I2"), "cell 0 8 s " + Utf8Hex("Verdict"),
          "cell 1 5 n " + DoubleHex(1.95), "cell 1 8 s " + Utf8Hex("PASS")})
        EXPECT_NE(std::find(cells.begin(), cells.end(), line), cells.end()) << line;
    // The margin, 0.35 up to the last bits of the sum that made the limit.
    EXPECT_EQ(std::count_if(cells.begin(), cells.end(),
                            [](const std::string& line) {
                                return line.rfind("cell 1 7 n 3fd66666666666", 0) == 0;
                            }),
              1);
}

// The PDF without a display and, as from a script or a service, without XDG_RUNTIME_DIR: not a
// word on stderr, and every row and its verdict in the text pdftotext extracts.
TEST_F(ReportRun, PdfHoldsTheRowsAndTheirVerdicts) {
    TSubprocessOptions withoutRuntimeDir;
    withoutRuntimeDir.UnsetEnvironment = {"XDG_RUNTIME_DIR"};
    const TRun run =
        Run({"report", Path("dump.txt"), "--budget", Path("budget.json"), "--to", Path("out.pdf"),
             "--title", "Riser acceptance", "--device", "OLM-45    SN 7"},
            "/dev/null", "", withoutRuntimeDir);
    ASSERT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(run.err, "");
    const TRunResult pdftotext =
        RunToEnd({MERIDAX_PDFTOTEXT, "-layout", Path("out.pdf"), Path("out.txt")});
    ASSERT_EQ(pdftotext.ExitCode, 0) << pdftotext.Err;
    const std::string text = Read(Path("out.txt"));
    for (const std::string part : {"Riser acceptance", "OLM-45", "-1.95", "0.35", "PASS", "-0.41",
                                   "FAIL", "-0.45", "CHECK", "0.52", "850"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

// The meter's 8-bit texts reach a UTF-8 terminal as UTF-8.
TEST_F(ReportRun, PlainTextIsUtf8) {
    Put(Path("latin1.txt"),
        "\xC4"
        "b\t1\t1310\t-3.52\n\r\n\r");
    const TRun run =
        Run({"report", Path("latin1.txt"), "--budget", Path("budget.json"), "--to", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\n\xC3\x84"
                           "b     1"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find('\xC4'), std::string::npos) << run.out;
}

// The CSV on standard output, by name or by --format, with either separator.
TEST_F(ReportRun, CsvToStandardOutput) {
    const std::string expected =
        "\xEF\xBB\xBF"
        "Cable;Fiber;WaveLength;dB/dBm;Reference;Loss (dB);Limit (dB);Margin (dB);Verdict\r\n"
        "1;1;1310;-1,95;-10;1,95;2,30;0,35;PASS\r\n"
        "2;1;1310;-3,52;;;;0,52;PASS\r\n";
    for (const std::vector<std::string>& to :
         {std::vector<std::string>{"--to", "-.csv"},
          std::vector<std::string>{"--format", "csv", "--to", "-"}}) {
        std::vector<std::string> args{
            "report", Path("pass.txt"), "--budget", Path("budget.json"), "--separator", ","};
        args.insert(args.end(), to.begin(), to.end());
        const TRun run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, expected) << testing::PrintToString(args);
    }
    TRun run = Run({"report", Path("pass.txt"), "--budget", Path("budget.json"), "--to", "-.csv"});
    EXPECT_NE(run.out.find("\r\n1,1,1310,-1.95,-10,1.95,2.30,0.35,PASS\r\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(Files(), (std::vector<std::string>{"bad.json", "budget.json", "dump.txt", "pass.txt",
                                                 "stderr", "stdout"}));
}

TEST_F(ReportRun, WrongOutputChoicesAreRefused) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--to", "@out.csv", "--format", "csv"}, "--format applies to OUTPUT - only"},
        {{"--to", "-.csv", "--format", "text"}, "-.csv is CSV"},
        {{"--to", "-", "--format", "pdf"}, "wants text or csv"},
        {{"--to", "-", "--separator", ","}, "--separator applies to .csv output only"},
        {{"--to", "@out.pdf", "--separator", ","}, "--separator applies to .csv output only"}};
    for (const auto& [options, err] : cases) {
        std::vector<std::string> args{"report", Path("pass.txt"), "--budget", Path("budget.json")};
        for (const std::string& arg : options)
            args.push_back(arg[0] == '@' ? Path(arg.substr(1)) : arg);
        const TRun run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(args);
        EXPECT_NE(run.err.find(err), std::string::npos) << run.err;
    }
}

// A budget file that is not there is named as the budget file, for report and convert.
TEST_F(ReportRun, MissingBudgetFileIsNamedAsTheBudgetFile) {
    const std::string missing = Path("missing.json");
    TRun run = Run({"report", Path("dump.txt"), "--budget", missing, "--to", "-"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "meridax-cli report: Budget file \"" + missing + "\": File not found\n");
    run = Run({"convert", Path("dump.txt"), "--budget", missing, "--to", Path("out.csv")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Budget file \"" + missing + "\": File not found"), std::string::npos)
        << run.err;
}

TEST_F(ReportTest, UnknownSubcommandIsNamed) {
    const TRun run = Run({"bogus", "x"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(
        run.err.rfind("meridax-cli: unknown subcommand 'bogus'\nusage: meridax-cli convert", 0), 0u)
        << run.err;
}

// The verdict columns exist only in the workbook and the CSV.
TEST_F(ReportRun, BudgetIsRefusedForTheOtherOutputs) {
    for (const std::string output : {"out.xls", "out.mxe", "-"}) {
        const std::string to = output == "-" ? output : Path(output);
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"convert", Path("dump.txt")},
              std::vector<std::string>{"import", "--port", Path("no-port")}}) {
            std::vector<std::string> args = command;
            args.insert(args.end(), {"--to", to, "--budget", Path("budget.json")});
            const TRun run = Run(args);
            EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(args);
            EXPECT_NE(run.err.find("--budget applies to .xlsx and .csv output only"),
                      std::string::npos)
                << run.err;
        }
    }
    EXPECT_EQ(Files(), (std::vector<std::string>{"bad.json", "budget.json", "dump.txt", "pass.txt",
                                                 "stderr", "stdout"}));
}

// A budget that cannot be used stops the import before the port is opened.
TEST_F(ReportRun, BadBudgetStopsConvertAndImportFirst) {
    for (const std::string command : {"convert", "import"}) {
        std::vector<std::string> args{command};
        if (command == "convert")
            args.push_back(Path("dump.txt"));
        else
            args.insert(args.end(), {"--port", Path("no-port")});
        args.insert(args.end(), {"--to", Path("out.csv"), "--budget", Path("bad.json")});
        const TRun run = Run(args);
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_NE(run.err.find("Budget file \"" + Path("bad.json") + "\""), std::string::npos)
            << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("out.csv")));
}

// The worked examples of the budget file's manual: 90 m of OM4 at 850 nm with two connectors
// (1.815 dB with one jumper, 1.065 with two, 0.315 with three, 1.315 with one and 0.5 dB end
// connections) and 500 m of OS2 with four connectors and a splice, 2-jumper (2.75 dB). Each
// reading lies 0.001 dB over its limit: the limit shows the decimals it needs, the loss and
// the margin those that tell it from the limit, alike in the text, the CSV, the workbook's
// number formats and the PDF.
class WorkedExamples : public ReportTest {
protected:
    struct TExample {
        const char* method;
        const char* endFigure;
        const char* loss;     // 0.001 dB over the limit
        const char* figures;  // loss, limit, margin and verdict as the text shows them
    };
    std::string BudgetFile(const TExample& example) {
        std::string json = R"({"preset": "iso-11801-om4", "reference_method": ")" +
                           std::string(example.method) + "\"";
        if (example.endFigure[0] != 0)
            json += R"(, "end_connector_db": )" + std::string(example.endFigure);
        json += R"(, "links": [{"cable": "MM", "length_m": 90, "connectors": 2, "splices": 0},
            {"cable": "SM", "length_m": 500, "connectors": 4, "splices": 1,
             "preset": "iso-11801-os2"}]})";
        const std::string path = Path(std::string(example.method) + example.endFigure + ".json");
        Put(path, json);
        return path;
    }
};

TEST_F(WorkedExamples, ComeOutOfTheTextTheCsvTheWorkbookAndThePdf) {
    const TExample examples[] = {{"1-jumper", "", "-1.816", "1.816  1.815  -0.001  FAIL"},
                                 {"2-jumper", "", "-1.066", "1.066  1.065  -0.001  FAIL"},
                                 {"3-jumper", "", "-0.316", "0.316  0.315  -0.001  FAIL"},
                                 {"1-jumper", "0.5", "-1.316", "1.316  1.315  -0.001  FAIL"}};
    for (const TExample& example : examples) {
        SCOPED_TRACE(std::string(example.method) + " " + example.endFigure);
        Put(Path("mm.txt"), "MM\t1\t850\t" + std::string(example.loss) +
                                "\t-10.00\n\rMM\t1\t850\t-0.5\t-10.00\n\r\n\r");
        const std::string budget = BudgetFile(example);
        const TRun run = Run({"report", Path("mm.txt"), "--budget", budget, "--to", "-"});
        EXPECT_EQ(run.exitCode, 3) << run.err;
        EXPECT_NE(run.out.find(example.figures), std::string::npos) << run.out;
        // 0.5 dB is shown with its limit's three decimals.
        EXPECT_NE(run.out.find("0.500"), std::string::npos) << run.out;
        // The workbook shows the limit's three decimals too, where it rounded 1.815 to 1.82.
        ASSERT_EQ(
            Run({"report", Path("mm.txt"), "--budget", budget, "--to", Path("mm.xlsx")}).exitCode,
            3);
        const std::vector<std::string> formats = ReadBack({"xlsx", Path("mm.xlsx"), "formats"});
        for (const char* format : {"format 1 5 0.000", "format 1 6 0.000", "format 1 7 0.000"})
            EXPECT_NE(std::find(formats.begin(), formats.end(), format), formats.end()) << format;
        EXPECT_NE(run.out.find("1 fibre: 1 fail\n"), std::string::npos) << run.out;
    }
    // The single-mode link, 2-jumper: 2.75 dB; a reading on it is 1310 nm.
    Put(Path("sm.txt"), "SM\t1\t1310\t-2.751\t-10.00\n\rSM\t2\t1310\t-2.75\t-10.00\n\r\n\r");
    const std::string budget = BudgetFile({"2-jumper", "", "", ""});
    TRun run = Run({"report", Path("sm.txt"), "--budget", budget, "--to", Path("sm.csv")});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(Read(Path("sm.csv")),
              "\xEF\xBB\xBF"
              "Cable,Fiber,WaveLength,dB/dBm,Reference,Loss (dB),Limit (dB),Margin (dB),Verdict\r\n"
              "SM,1,1310,-2.751,-10,2.751,2.75,-0.001,FAIL\r\n"
              "SM,2,1310,-2.75,-10,2.75,2.75,0.00,PASS\r\n");
    run = Run({"report", Path("sm.txt"), "--budget", budget, "--to", Path("sm.xlsx")});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    const std::vector<std::string> cells = ReadBack({"xlsx", Path("sm.xlsx"), "formats"});
    for (const std::string& line :
         {"comments " + Utf8Hex("Reference: 2-jumper; end connection: 0.75 dB"),
          std::string("format 1 7 0.000"), std::string("format 2 7 0.00"),
          std::string("format 1 6 0.00"), std::string("format 1 5 0.000"),
          std::string("format 2 5 0.00"), "cell 2 6 n " + DoubleHex(2.75)})
        EXPECT_NE(std::find(cells.begin(), cells.end(), line), cells.end())
            << line << "\n"
            << testing::PrintToString(cells);
    run = Run({"report", Path("sm.txt"), "--budget", budget, "--to", Path("sm.pdf")});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    const TRunResult pdftotext =
        RunToEnd({MERIDAX_PDFTOTEXT, "-layout", Path("sm.pdf"), Path("sm.txt")});
    ASSERT_EQ(pdftotext.ExitCode, 0) << pdftotext.Err;
    std::string text;
    for (const char c : Read(Path("sm.txt"))) {
        if (c != ' ' || text.empty() || text.back() != ' ')
            text += c;
    }
    for (const std::string part :
         {"2.751 2.75 -0.001 FAIL", "2-jumper", "0.75 dB", "2 fibres: 1 pass, 1 fail",
          "Fibre result", "1310 nm, loss in dB", "iso-11801-os2",
          "1310: 0.40, 1383: 0.40, 1550: 0.40"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

}  // namespace
