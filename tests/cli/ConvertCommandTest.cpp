// meridax-cli convert end to end: the worked examples byte for byte, errors and usage.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "CliTest.h"
#include "export/ReadBack.h"
#include "support/FileBytes.h"
#include "support/Nobody.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "support/WorkedExample.h"

namespace fs = std::filesystem;

namespace {

using ConvertTest = CliTest;

const std::string Dump = "1\t1\t1310\t-3.52\n\r1\t2\t1550\t-0.41\t-10.00\n\r\n\r";

TEST_F(ConvertTest, DumpToMeasurementFileIsThe36Bytes) {
    Put(Path("dump.txt"), Dump);
    const TRun run = Run({"convert", Path("dump.txt"), "--to", Path("m.mxe")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Read(Path("m.mxe")), TwoRecordsMxe);
    // Open and save again: byte-identical.
    EXPECT_EQ(Run({"convert", Path("m.mxe"), "--to", Path("again.mxe")}).exitCode, 0);
    EXPECT_EQ(Read(Path("again.mxe")), Read(Path("m.mxe")));
}

// Texts the dump quoted are quoted again in the file, so converting it back gives them.
TEST_F(ConvertTest, QuotedTextsSurviveTheMeasurementFile) {
    Put(Path("dump.txt"), "1\t\"a@b\"\t1310\t-3.52\n\r\"2\t\"\"c d\"\"\t850\t0.3\"\n\r\n\r");
    ASSERT_EQ(Run({"convert", Path("dump.txt"), "--to", Path("m.mxe")}).exitCode, 0);
    EXPECT_EQ(Read(Path("m.mxe")), "1@\"a@b\"@1310@-3.52^\"2@\"\"c d\"\"@850@0.3\"^\r\n");
    const TRun run = Run({"convert", Path("m.mxe"), "--to", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1\ta\tb\t1310\t-3.52\r\n2\tc d\t850\t0.3\r\n");
}

TEST_F(ConvertTest, StandardInputIsADump) {
    Put(Path("dump.txt"), Dump);
    const TRun run = Run({"convert", "-", "--to", "-"}, Path("dump.txt"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1\t1\t1310\t-3.52\r\n1\t2\t1550\t-0.41\t-10\r\n");
}

// The export's worked example: the two ticked rows of page Relative.
const std::string TickedRows = "1@1@1310@0.25@-10.5^1@2@1550@0.3@-10.4^\r\n";

TEST_F(ConvertTest, WorkedExampleXlsIs302Bytes) {
    Put(Path("in.mxe"), TickedRows);
    const TRun run = Run({"convert", Path("in.mxe"), "--to", Path("out.xls"), "--page", "relative",
                          "--header", "--device", "DEVICE-1    0042", "--separator", ","});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = Read(Path("out.xls"));
    EXPECT_EQ(bytes.size(), 302u);
    EXPECT_EQ(bytes.substr(0, 34), HexBytes(WorkedExampleXlsHead));
    EXPECT_EQ(bytes.substr(34, 8), "DEVICE-1");
    EXPECT_EQ(bytes.substr(bytes.size() - 4), HexBytes("0A 00 00 00"));
}

// The label comes from the terminal in UTF-8 and goes into the files as the meter's 8-bit texts
// do: one byte per letter in .xls, converted once to UTF-8 in .csv.
TEST_F(ConvertTest, AUtf8DeviceLabelIsWrittenAsTheMetersTextsAre) {
    Put(Path("in.mxe"), TickedRows);
    const std::vector<std::string> common = {"--page", "relative", "--header", "--device",
                                             "K\xC3\xB6ln"};
    std::vector<std::string> xls = {"convert", Path("in.mxe"), "--to", Path("out.xls")};
    xls.insert(xls.end(), common.begin(), common.end());
    ASSERT_EQ(Run(xls).exitCode, 0);
    EXPECT_EQ(Read(Path("out.xls")).substr(34, 4), "K\xF6ln");
    std::vector<std::string> csv = {"convert", Path("in.mxe"), "--to", Path("out.csv")};
    csv.insert(csv.end(), common.begin(), common.end());
    ASSERT_EQ(Run(csv).exitCode, 0);
    EXPECT_EQ(Read(Path("out.csv")).substr(0, 10), "\xEF\xBB\xBFK\xC3\xB6ln\r\n");
}

TEST_F(ConvertTest, ADeviceLabelBeyondLatin1IsRefused) {
    Put(Path("in.mxe"), TickedRows);
    const TRun run = Run({"convert", Path("in.mxe"), "--to", Path("out.csv"), "--device",
                          "\xC5\x81\xC3\xB3"
                          "d\xC5\xBA"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("beyond Latin-1"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.csv")));
}

TEST_F(ConvertTest, WorkedExampleFirstRowIs101Bytes) {
    Put(Path("in.mxe"), "1@1@1310@0.25@-10.5^\r\n");
    const TRun run = Run(
        {"convert", Path("in.mxe"), "--to", Path("out.xls"), "--page=relative", "--separator=,"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Read(Path("out.xls")), HexBytes(WorkedExampleFirstRowXls));
}

TEST_F(ConvertTest, WorkedExampleClipboardLines) {
    Put(Path("in.mxe"), TickedRows);
    const TRun run = Run({"convert", Path("in.mxe"), "--to", "-", "--page", "relative", "--header",
                          "--device", "DEVICE-1    0042"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, WorkedExampleClipboardText);
}

TEST_F(ConvertTest, EmptyInputGivesTheEmptyFiles) {
    Put(Path("empty.mxe"), "\r\n");
    EXPECT_EQ(Run({"convert", Path("empty.mxe"), "--to", Path("e.xls")}).exitCode, 0);
    EXPECT_EQ(Read(Path("e.xls")), HexBytes(EmptyXls));
    EXPECT_EQ(Run({"convert", Path("empty.mxe"), "--to", Path("e.mxe")}).exitCode, 0);
    EXPECT_EQ(Read(Path("e.mxe")), "\r\n");
}

TEST_F(ConvertTest, PagesPickTheirRows) {
    Put(Path("dump.txt"), Dump);
    const std::pair<std::string, std::string> cases[] = {
        {"all", "1\t1\t1310\t-3.52\r\n1\t2\t1550\t-0.41\t-10\r\n"},
        {"absolute", "1\t1\t1310\t-3.52\r\n"},
        {"relative", "1\t2\t1550\t-0.41\t-10\r\n"},
    };
    for (const auto& [page, text] : cases) {
        const TRun run = Run({"convert", Path("dump.txt"), "--to", "-", "--page", page});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, text) << page;
    }
}

struct TFailure {
    std::string input;
    std::string outputName;
    std::string message;
};

TEST_F(ConvertTest, FailuresExitOneAndLeaveNothingBehind) {
    Put(Path("comma.txt"), "1\t1\t1310\t-3,52\n\r");
    Put(Path("comma.mxe"), "1@1@1310@-3,52^\r\n");
    Put(Path("old.xls"), "old");
    Put(Path("old.mxe"), "old\r\n");
    const TFailure cases[] = {
        {"comma.txt", "new.xls", "'-3,52' is not a valid floating point value"},
        {"comma.mxe", "old.mxe", "'-3,52' is not a valid floating point value"},
        {"comma.txt", "old.xls", "'-3,52' is not a valid floating point value"},
        {"missing.mxe", "new.mxe", "File not found"},
        {"missing/in.txt", "new.mxe", "Invalid filename"},
    };
    for (const auto& failure : cases) {
        const TRun run = Run({"convert", Path(failure.input), "--to", Path(failure.outputName)});
        EXPECT_EQ(run.exitCode, 1) << failure.input;
        EXPECT_NE(run.err.find(failure.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(Read(Path("old.xls")), "old");
    EXPECT_EQ(Read(Path("old.mxe")), "old\r\n");
    EXPECT_EQ(Files(), (std::vector<std::string>{"comma.mxe", "comma.txt", "old.mxe", "old.xls",
                                                 "stderr", "stdout"}));
}

TEST_F(ConvertTest, OutputErrorsNameTheFileAndTheReason) {
    Put(Path("dump.txt"), Dump);
    TRun run = Run({"convert", Path("dump.txt"), "--to", Path("no-folder/out.xls")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Cannot create file \"" + Path("no-folder/out.xls") + "\". " +
                           std::generic_category().message(ENOENT)),
              std::string::npos)
        << run.err;
    run = Run({"convert", Path("dump.txt"), "--to", "-"}, "/dev/null", "/dev/full");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(std::generic_category().message(ENOSPC)), std::string::npos) << run.err;
}

// The temporary file beside the output must fit even when the output's name takes all
// 255 bytes.
TEST_F(ConvertTest, TheLongestOutputNamesAreWritten) {
    Put(Path("dump.txt"), Dump);
    for (const std::string extension : {".xls", ".mxe"}) {
        const std::string name = std::string(255 - extension.size(), 'n') + extension;
        const TRun run = Run({"convert", Path("dump.txt"), "--to", Path(name)});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(fs::exists(Path(name))) << extension;
    }
    EXPECT_EQ(Files().size(), 5u) << testing::PrintToString(Files());
}

// An output named through a link replaces the file the link points at, as the export and
// Save of the window do; the link stays.
TEST_F(ConvertTest, OutputsAreWrittenThroughALink) {
    Put(Path("dump.txt"), Dump);
    ASSERT_EQ(Run({"convert", Path("dump.txt"), "--to", Path("expected.xls")}).exitCode, 0);
    for (const std::string extension : {".xls", ".mxe"}) {
        Put(Path("real" + extension), "old");
        fs::create_symlink(Path("real" + extension), Path("link" + extension));
        const TRun run = Run({"convert", Path("dump.txt"), "--to", Path("link" + extension)});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(fs::is_symlink(Path("link" + extension))) << extension;
        EXPECT_NE(Read(Path("real" + extension)), "old") << extension;
    }
    EXPECT_EQ(Read(Path("real.xls")), Read(Path("expected.xls")));
    EXPECT_EQ(Read(Path("real.mxe")), TwoRecordsMxe);
}

TEST_F(ConvertTest, ReplacedOutputsKeepTheirOwnerAndMode) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    Put(Path("dump.txt"), Dump);
    for (const std::string name : {"out.xls", "out.mxe"}) {
        Put(Path(name), "old");
        ASSERT_EQ(::chown(Path(name).c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(Path(name).c_str(), 0640), 0);
        const TRun run = Run({"convert", Path("dump.txt"), "--to", Path(name)});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        struct stat status {};
        ASSERT_EQ(::stat(Path(name).c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 65534u) << name;
        EXPECT_EQ(status.st_gid, 65534u) << name;
        EXPECT_EQ(status.st_mode & 07777, 0640u) << name;
        EXPECT_NE(Read(Path(name)), "old") << name;
    }
}

TEST_F(ConvertTest, AFolderAsOutputCannotBeOpened) {
    Put(Path("dump.txt"), Dump);
    fs::create_directories(Path("folder.xls"));
    const TRun run = Run({"convert", Path("dump.txt"), "--to", Path("folder.xls")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Cannot open file \"" + Path("folder.xls") + "\". " +
                           std::generic_category().message(EISDIR)),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(fs::is_directory(Path("folder.xls")));
}

// Runs meridax-cli (or the copy at program) with standard output and error to /dev/null, as
// options say.
int RunQuiet(const std::vector<std::string>& args, TSubprocessOptions options,
             const std::string& program = MERIDAX_CLI_PATH) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    options.OutputPath = "/dev/null";
    options.ErrorPath = "/dev/null";
    return RunToEnd(argv, options).ExitCode;
}

// Without root's rights (as nobody when the tests run as root), so that permission bits
// count; cli is meridax-cli where nobody can run it.
int RunUnprivileged(const TProgramForNobody& cli, const std::vector<std::string>& args) {
    TSubprocessOptions options;
    options.AsNobody = true;
    return RunQuiet(args, options, cli.Path());
}

// Whatever lies under the names a temporary file beside the output might take (a link to
// another file, a folder) is neither followed nor in the way.
TEST_F(ConvertTest, LeftoversBesideTheOutputAreNeitherFollowedNorInTheWay) {
    Put(Path("dump.txt"), Dump);
    Put(Path("victim"), "precious");
    // The child's process id is known before the program starts.
    TSubprocessOptions options;
    options.Prepare = [this](pid_t pid) {
        const std::string stem = Path(".out.xls." + std::to_string(pid));
        fs::create_directories(stem + ".tmp");
        fs::create_symlink(Path("victim"), stem + "-0.tmp");
        fs::create_directories(stem + "-1.tmp");
    };
    const int exitCode = RunQuiet({"convert", Path("dump.txt"), "--to", Path("out.xls")}, options);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Read(Path("victim")), "precious");
    ASSERT_EQ(Run({"convert", Path("dump.txt"), "--to", Path("expected.xls")}).exitCode, 0);
    EXPECT_EQ(Read(Path("out.xls")), Read(Path("expected.xls")));
    EXPECT_EQ(Files().size(), 9u) << testing::PrintToString(Files());
}

// A folder without write right lets its writable files be rewritten, though not replaced.
TEST_F(ConvertTest, WritableOutputsInAReadOnlyFolderAreRewritten) {
    Put(Path("dump.txt"), Dump);
    fs::create_directories(Path("ro"));
    Put(Path("ro/out.xls"), "old");
    Put(Path("ro/out.mxe"), "old\r\n");
    ::chmod(Path("ro/out.xls").c_str(), 0666);
    ::chmod(Path("ro/out.mxe").c_str(), 0666);
    ::chmod(Path("dump.txt").c_str(), 0644);
    ::chmod(Path("ro").c_str(), 0555);
    ::chmod(folder_.Path().c_str(), 0755);
    if (const auto why = WhyNobodyCannotUse(Path("ro/out.mxe"), W_OK))
        GTEST_SKIP() << *why;
    const TProgramForNobody cli(MERIDAX_CLI_PATH);
    EXPECT_EQ(RunUnprivileged(cli, {"convert", Path("dump.txt"), "--to", Path("ro/out.mxe")}), 0);
    EXPECT_EQ(Read(Path("ro/out.mxe")), TwoRecordsMxe);
    EXPECT_EQ(RunUnprivileged(cli, {"convert", Path("dump.txt"), "--to", Path("ro/out.xls")}), 0);
    ASSERT_EQ(Run({"convert", Path("dump.txt"), "--to", Path("expected.xls")}).exitCode, 0);
    EXPECT_EQ(Read(Path("ro/out.xls")), Read(Path("expected.xls")));
    EXPECT_EQ(Read(Path("ro/out.xls")).size(), 171u);
    // A new file cannot be made there.
    EXPECT_EQ(RunUnprivileged(cli, {"convert", Path("dump.txt"), "--to", Path("ro/new.xls")}), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("ro")), fs::directory_iterator()), 2);
    ::chmod(Path("ro").c_str(), 0755);
}

TEST_F(ConvertTest, WrongUsageExitsTwoWithTheUsageLine) {
    Put(Path("dump.txt"), Dump);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"convert"},
        {"convert", Path("dump.txt")},
        {"convert", Path("dump.txt"), "--to"},
        {"convert", Path("dump.txt"), "--to", Path("out.txt")},
        {"convert", Path("dump.txt"), "--to", Path("out.xlsx"), "--separator", ","},
        {"convert", Path("dump.txt"), "--to", Path("out.xls"), "--separator", ";"},
        {"convert", Path("dump.txt"), "--to", Path("out.xls"), "--page", "some"},
        {"convert", Path("dump.txt"), "--to", Path("out.xls"), "--bogus"},
        {"convert", Path("dump.txt"), Path("second"), "--to", Path("out.xls")},
        {"convert", Path("dump.txt"), "--to", Path("out.mxe"), "--page", "relative"},
        {"convert", Path("dump.txt"), "--to", Path("out.mxe"), "--header"},
        {"convert", Path("dump.txt"), "--to", "-", "--separator", ","},
        // Names that read as standard output but would make a file named so.
        {"convert", Path("dump.txt"), "--to", "-.xlsx"},
        {"report", Path("dump.txt"), "--to", "-.xlsx"},
        {"report", Path("dump.txt"), "--to", "-.pdf"},
    };
    for (const auto& args : cases) {
        const TRun run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage: meridax-cli"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(Path("out.xls")));
    EXPECT_FALSE(fs::exists(Path("out.xlsx")));
    EXPECT_FALSE(fs::exists(Path("out.mxe")));
}

TEST_F(ConvertTest, HelpExitsZero) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--help"}, {"convert", "--help"}}) {
        const TRun run = Run(args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.out.find("usage: meridax-cli convert INPUT --to OUTPUT"), std::string::npos);
    }
}

// Under a memory cap, a dump larger than memory ends with a message that names it and its
// size, not the allocator's bare "std::bad_alloc".
TEST_F(ConvertTest, RunningOutOfMemoryNamesTheInputAndItsSize) {
#if defined(MERIDAX_ADDRESS_SANITIZER)
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#else
    Put(Path("dump.txt"), Dump);
    fs::resize_file(Path("dump.txt"), 1ull << 30);  // sparse: nothing on the disk
    TSubprocessOptions options;
    options.AddressSpaceLimit = 262144 * 1024;
    options.ErrorPath = Path("stderr");
    const TRunResult run =
        RunToEnd({MERIDAX_CLI_PATH, "convert", Path("dump.txt"), "--to", Path("out.mxe")}, options);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(Read(Path("stderr")), "meridax-cli: Out of memory while reading \"" +
                                        Path("dump.txt") + "\", which holds 1073741824 bytes\n");
    EXPECT_FALSE(fs::exists(Path("out.mxe")));
#endif
}

}  // namespace

// The workbook and CSV outputs go through the export writers: the CSV byte for byte, the
// workbook read back by openpyxl with its numbers as the records' doubles.
TEST_F(ConvertTest, CsvAndWorkbookOutputs) {
    Put(Path("dump.txt"), Dump);
    TRun run = Run({"convert", Path("dump.txt"), "--to", Path("out.csv"), "--header", "--separator",
                    ",", "--device", "DEV    7"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Read(Path("out.csv")),
              "\xEF\xBB\xBF"
              "DEV;7\r\nCable;Fiber;WaveLength;dB/dBm;Reference\r\n"
              "1;1;1310;-3,52;\r\n1;2;1550;-0,41;-10\r\n");

    run = Run({"convert", Path("dump.txt"), "--to", Path("out.xlsx"), "--page", "relative"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> cells = ReadBack({"xlsx", Path("out.xlsx")});
    const std::vector<std::string> expected = {"sheets Relative",
                                               "cell 0 0 s " + Utf8Hex("1"),
                                               "cell 0 1 s " + Utf8Hex("2"),
                                               "cell 0 2 n " + DoubleHex(1550),
                                               "cell 0 3 n " + DoubleHex(-0.41),
                                               "cell 0 4 n " + DoubleHex(-10)};
    for (const std::string& line : expected)
        EXPECT_NE(std::find(cells.begin(), cells.end(), line), cells.end()) << line;
}

// A workbook for a pipe is made in the temporary folder first; a reader that quits early ends
// the program by SIGPIPE, and nothing of it may stay behind.
TEST_F(ConvertTest, AWorkbookForAReaderThatQuitsLeavesNoTemporaryFile) {
    std::string dump;
    for (int i = 0; i < 40000; ++i)
        dump += "C" + std::to_string(i) + "\t" + std::to_string(i % 97) + "\t1310\t-3." +
                std::to_string(i % 1000) + "\n\r";
    Put(Path("dump.txt"), dump + "\n\r");
    fs::create_directory(Path("tmp"));
    fs::create_symlink("/dev/stdout", Path("so.xlsx"));
    TSubprocessOptions options;
    options.SetEnvironment = {"TMPDIR=" + Path("tmp")};
    const TRunResult run =
        RunToEnd({"/bin/sh", "-c", "\"$0\" convert \"$1\" --to \"$2\" | head -c 10 >/dev/null",
                  MERIDAX_CLI_PATH, Path("dump.txt"), Path("so.xlsx")},
                 options);
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(fs::is_empty(Path("tmp")));
}

// A record whose fields control bytes split gives no reading with shifted fields: it is left
// out, and standard error says how many and shows the first, escaped.
TEST_F(ConvertTest, RecordsSplitByControlBytesAreLeftOutAndTold) {
    const std::string split =
        "C\x01"
        "A\x0b"
        "B\t1\x02\t1310\t-1.2\t-10\n\r";
    Put(Path("dump.txt"), split + Dump + "K\xe4\x7f\t1\t850\t-1\n\r");
    const TRun run = Run({"convert", Path("dump.txt"), "--to", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // Standard output is UTF-8, the meter's other control bytes escaped, as report's is.
    EXPECT_EQ(run.out,
              "1\t1\t1310\t-3.52\r\n1\t2\t1550\t-0.41\t-10\r\n"
              "K\xc3\xa4\\x7f\t1\t850\t-1\r\n");
    EXPECT_EQ(run.err, "meridax-cli: " + Path("dump.txt") +
                           ": 1 record left out: control bytes split its fields (first: "
                           "\"C\\x01A\\x0bB\\t1\\x02\\t1310\\t-1.2\\t-10\")\n");
}
