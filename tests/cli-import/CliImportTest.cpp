#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "MeridaxVersion.h"
#include "support/FileBytes.h"
#include "support/MeterSimProcess.h"
#include "support/Nobody.h"
#include "support/PseudoTerminal.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;
using Args = std::vector<std::string>;

class CliImportTest : public ::testing::Test {
protected:
    TTempFolder dir{"meridax-cli-import"};

    std::string Path(const std::string& name) const { return dir.File(name); }

    std::unique_ptr<TMeterSimProcess> StartSim(const Args& options) {
        return std::make_unique<TMeterSimProcess>(MERIDAX_METER_SIM, options,
                                                  Path("sim-stderr.txt"));
    }

    // The bytes the stand-in sends for "u" with these options.
    std::string SaveDump(const Args& options) {
        Args argv{MERIDAX_METER_SIM};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"--save-dump", Path("dump.txt")});
        TRunResult saved = RunToEnd(argv);
        EXPECT_EQ(saved.ExitCode, 0) << saved.Err;
        return Path("dump.txt");
    }

    TRunResult Cli(const Args& args) {
        Args argv{MERIDAX_CLI};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunToEnd(argv, {}, std::chrono::minutes(5));
    }

    // Imports from a fresh stand-in and converts the same dump with the same output options;
    // the two files must be byte for byte the same.
    void ExpectImportEqualsConvert(const Args& simOptions, const std::string& output,
                                   const Args& outputOptions, const std::string& deviceLabel) {
        SCOPED_TRACE(output);
        const std::string dump = SaveDump(simOptions);
        const auto sim = StartSim(simOptions);

        Args import{"import", "--port", sim->Path(), "--to", Path("import-" + output)};
        import.insert(import.end(), outputOptions.begin(), outputOptions.end());
        if (!deviceLabel.empty()) {
            import.push_back("--device-details");
        }
        TRunResult imported = Cli(import);
        ASSERT_EQ(imported.ExitCode, 0) << imported.Err;
        EXPECT_EQ(imported.Out, deviceLabel.empty() ? imported.Out : deviceLabel + "\n");

        Args convert{"convert", dump, "--to", Path("convert-" + output)};
        convert.insert(convert.end(), outputOptions.begin(), outputOptions.end());
        if (!deviceLabel.empty()) {
            convert.insert(convert.end(), {"--device", deviceLabel});
        }
        TRunResult converted = Cli(convert);
        ASSERT_EQ(converted.ExitCode, 0) << converted.Err;

        const std::string expected = ReadFileBytes(Path("convert-" + output));
        ASSERT_GT(expected.size(), 100u);
        EXPECT_TRUE(ReadFileBytes(Path("import-" + output)) == expected)
            << "import and convert differ for " << output;
    }
};

TEST_F(CliImportTest, SmallRandomChunksGiveWhatConvertGives) {
    const Args sim{"--records", "400",    "--seed", "7",
                   "--chunk",   "random", "--name", "OLM-45\\tSN 77"};
    ExpectImportEqualsConvert(sim, "relative.xls",
                              {"--page", "relative", "--header", "--separator", ","},
                              "OLM-45    SN 77");
    ExpectImportEqualsConvert(sim, "all.xls", {}, "");
    ExpectImportEqualsConvert(sim, "absolute.xls", {"--page", "absolute", "--header"},
                              "OLM-45    SN 77");
    ExpectImportEqualsConvert(sim, "all.mxe", {}, "");
}

TEST_F(CliImportTest, TenMegabyteDumpGivesWhatConvertGives) {
    const Args sim{"--records", "440000", "--seed", "11"};
    ExpectImportEqualsConvert(sim, "big.mxe", {}, "");
    EXPECT_GT(fs::file_size(Path("dump.txt")), 10'000'000u);
}

TEST_F(CliImportTest, PrintsTheNameAsTheLabelShowsIt) {
    const auto sim = StartSim({"--records", "3", "--name", "A\\tB\\tC"});
    TRunResult r = Cli({"import", "--port", sim->Path(), "--to", Path("x.mxe")});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "A    B    C\n");
}

TEST_F(CliImportTest, ClipboardTextOnStandardOutputAndTheNameOnStandardError) {
    const Args simOptions{"--records", "20", "--seed", "5"};
    const std::string dump = SaveDump(simOptions);
    const auto sim = StartSim(simOptions);
    TRunResult imported =
        Cli({"import", "--port", sim->Path(), "--to", "-", "--header", "--device-details"});
    ASSERT_EQ(imported.ExitCode, 0) << imported.Err;
    EXPECT_NE(imported.Err.find("MERIDAX OLM-45    SN 0412871"), std::string::npos);
    TRunResult converted =
        Cli({"convert", dump, "--to", "-", "--header", "--device", "MERIDAX OLM-45    SN 0412871"});
    ASSERT_EQ(converted.ExitCode, 0) << converted.Err;
    EXPECT_EQ(imported.Out, converted.Out);
}

struct TFailureCase {
    const char* title;
    Args simOptions;
    Args importOptions;
    std::string message;
};

void PrintTo(const TFailureCase& c, std::ostream* os) {
    *os << c.title;
}

class CliImportFailureTest : public CliImportTest,
                             public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(CliImportFailureTest, EndsWithAMessageAndExitCode1) {
    const TFailureCase& c = GetParam();
    const auto sim = StartSim(c.simOptions);
    Args args{"import", "--port", sim->Path(), "--to", Path("out.xls")};
    args.insert(args.end(), c.importOptions.begin(), c.importOptions.end());
    TRunResult r = Cli(args);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find(c.message), std::string::npos) << r.Err;
    EXPECT_FALSE(fs::exists(Path("out.xls")));
}

INSTANTIATE_TEST_SUITE_P(
    CliImport, CliImportFailureTest,
    ::testing::Values(TFailureCase{"SilentMeter",
                                   {"--fault", "no-answer"},
                                   {"--timeout", "0.5"},
                                   "s after 0 bytes; the meter did not tell its name"},
                      TFailureCase{"SilenceDuringTheDump",
                                   {"--records", "50", "--chunk", "200", "--delay", "600000"},
                                   {"--timeout", "3"},
                                   "bytes; the memory dump did not end"},
                      // The name must end the reply: noise after it is named, escaped.
                      TFailureCase{"NoiseAfterTheName",
                                   {"--fault", "stray-bytes"},
                                   {},
                                   "answered with unexpected bytes after its name: "
                                   "\"\\xFF\\x00~\\x13?\\x11\""},
                      TFailureCase{"RejectedDump",
                                   {"--records", "30", "--fault", "bad-number"},
                                   {},
                                   "the meter's dump is not valid: '"},
                      TFailureCase{
                          "HangUpHalfWay",
                          {"--records", "5000", "--chunk", "512", "--fault", "hangup-half"},
                          {},
                          "hung up after"},
                      // Memory stays bounded: the dump is dropped at the cap.
                      TFailureCase{"EndlessDumpAtTheCap",
                                   {"--fault", "endless-dump"},
                                   {"--max-dump", "2"},
                                   "the dump grew beyond --max-dump 2 MB; the memory dump did "
                                   "not end"},
                      TFailureCase{"EndlessDumpAtMaxTime",
                                   {"--fault", "endless-dump", "--baud", "115200"},
                                   {"--max-time", "2.5"},
                                   "gave up after --max-time 2.5 s with "}),
    [](const auto& testInfo) { return std::string(testInfo.param.title); });

TEST_F(CliImportTest, APortThatCannotBeOpenedIsNamed) {
    TRunResult missing = Cli({"import", "--port", Path("no-such-tty"), "--to", Path("out.xls")});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_NE(missing.Err.find("TCOMPORT : cannot open " + Path("no-such-tty") + ": "),
              std::string::npos)
        << missing.Err;

    // Held by another program: the same message, and nothing written.
    const auto sim = StartSim({"--records", "3"});
    int holder = ::open(sim->Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    TRunResult busy = Cli({"import", "--port", sim->Path(), "--to", Path("out.xls")});
    ::close(holder);
    EXPECT_EQ(busy.ExitCode, 1);
    EXPECT_NE(busy.Err.find("TCOMPORT : cannot open " + sim->Path()), std::string::npos)
        << busy.Err;
    EXPECT_FALSE(fs::exists(Path("out.xls")));
}

// Whether a program holds port exclusively (TIOCEXCL), which the kernel keeps for as long as
// anybody has the terminal open; a root probe may open it all the same, others cannot.
bool HeldExclusively(const std::string& port) {
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == EBUSY;
    }
    int exclusive = 0;
    const bool known = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0;
    ::close(fd);
    return known && exclusive != 0;
}

TEST_F(CliImportTest, AnInterruptedImportLetsThePortGo) {
    // The stand-in keeps its side of the terminal open, so a claim left behind would make the
    // port busy for the next import until the stand-in is restarted.
    const auto sim = StartSim({"--fault", "no-answer"});
    for (int signo : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signo);
        TSubprocess cli({MERIDAX_CLI, "import", "--port", sim->Path(), "--to", Path("out.xls"),
                         "--timeout", "300"},
                        Path("cli-stderr.txt"));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!HeldExclusively(sim->Path()) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(HeldExclusively(sim->Path())) << ReadFileBytes(Path("cli-stderr.txt"));
        cli.Signal(signo);
        EXPECT_EQ(cli.Wait(std::chrono::seconds(60)), 128 + signo);
        EXPECT_NE(ReadFileBytes(Path("cli-stderr.txt")).find("meridax-cli import: interrupted"),
                  std::string::npos)
            << ReadFileBytes(Path("cli-stderr.txt"));
        EXPECT_FALSE(HeldExclusively(sim->Path()));
        EXPECT_FALSE(fs::exists(Path("out.xls")));
    }
}

TEST_F(CliImportTest, WrongUsageGivesExitCode2) {
    const std::vector<Args> cases = {
        {"import"},
        {"import", "--to", "x.xls"},
        {"import", "--port", "/dev/null"},
        {"import", "--port", "/dev/null", "--to", "x.txt"},
        {"import", "--port", "/dev/null", "--to", "x.xls", "--page", "some"},
        {"import", "--port", "/dev/null", "--to", "x.xls", "--separator", ";"},
        {"import", "--port", "/dev/null", "--to", "x.xls", "--baud", "-9600"},
        {"import", "--port", "/dev/null", "--to", "x.xls", "--timeout", "0"},
        {"import", "--port", "/dev/null", "--to", "x.xls", "--device", "M"},
        {"import", "--port", "/dev/null", "--to", "x.mxe", "--device-details"},
        {"import", "--port", "/dev/null", "--to", "x.xls", "stray"},
        {"import", "--port", "/dev/null", "--to", "x.xls", "--colour"},
        {"ports", "extra"},
    };
    for (const Args& args : cases) {
        std::string line;
        for (const auto& word : args) {
            line += word + " ";
        }
        SCOPED_TRACE(line);
        TRunResult r = Cli(args);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_NE(r.Err.find("usage: meridax-cli"), std::string::npos) << r.Err;
        EXPECT_FALSE(fs::exists("x.xls"));
    }
}

TEST_F(CliImportTest, AnOutputThatCannotBeMadeFailsBeforeTheMeterIsAsked) {
    // The port does not exist: a message about it would show that the import went ahead.
    const std::pair<std::string, std::string> cases[] = {
        {"none/out.mxe", "meridax-cli: " + Path("none/out.mxe") + ": Invalid filename"},
        {"none/out.xls", "Cannot create file \"" + Path("none/out.xls") + "\". "},
    };
    for (const auto& [output, message] : cases) {
        TRunResult r = Cli({"import", "--port", Path("no-such-tty"), "--to", Path(output)});
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err;
        EXPECT_EQ(r.Err.find("TCOMPORT"), std::string::npos) << r.Err;
    }
}

// Standard input, output and error closed, as some service managers start programs.
TSubprocessOptions WithoutStandardDescriptors() {
    TSubprocessOptions options;
    options.CloseStandardDescriptors = true;
    return options;
}

// Otherwise the port would take descriptor 0, 1 or 2 and get the program's messages.
TEST_F(CliImportTest, ClosedStandardDescriptorsGetDevNull) {
    const std::string link = Path("port");
    TSubprocess sim({MERIDAX_METER_SIM, "--records", "30", "--link", link},
                    WithoutStandardDescriptors());
    ASSERT_GT(sim.Pid(), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::is_symlink(link) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(fs::is_symlink(link));
    for (int fd = 0; fd <= 2; ++fd) {
        const fs::path opened = "/proc/" + std::to_string(sim.Pid()) + "/fd/" + std::to_string(fd);
        EXPECT_EQ(fs::read_symlink(opened), "/dev/null") << fd;
    }

    TSubprocess import(
        {MERIDAX_CLI, "import", "--port", link, "--to", Path("out.xls"), "--device-details"},
        WithoutStandardDescriptors());
    EXPECT_EQ(import.Wait(std::chrono::minutes(5)), 0);
    const std::string dump = SaveDump({"--records", "30"});
    TRunResult converted = Cli(
        {"convert", dump, "--to", Path("convert.xls"), "--device", "MERIDAX OLM-45    SN 0412871"});
    ASSERT_EQ(converted.ExitCode, 0) << converted.Err;
    EXPECT_EQ(ReadFileBytes(Path("out.xls")), ReadFileBytes(Path("convert.xls")));

    // The clipboard text goes to /dev/null rather than to a closed descriptor.
    TSubprocess convert({MERIDAX_CLI, "convert", dump, "--to", "-"}, WithoutStandardDescriptors());
    EXPECT_EQ(convert.Wait(std::chrono::minutes(5)), 0);
}

TEST_F(CliImportTest, EveryProgramTellsItsVersionAndCommit) {
    // The command-line programs follow their version with the licence, as GNU programs do.
    const std::string licence =
        "Copyright (C) 2026 MERIDAX developers\n"
        "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
        "This is free software: you are free to change and redistribute it.\n"
        "There is NO WARRANTY, to the extent permitted by law.\n";
    // The version names the commit the checkout is at, as git itself tells it, so that an
    // older build cannot pass for today's; a changed tree adds "+dirty".
    TRunResult git = RunToEnd({"git", "-C", MERIDAX_SOURCE_DIR, "rev-parse", "--short=7", "HEAD"});
    const std::string build = git.ExitCode == 0 ? "\\(" + git.Out.substr(0, 7) + "(\\+dirty)?\\)"
                                                : std::string("\\(built outside git\\)");
    std::string version;
    for (const char c : std::string(MERIDAX_VERSION))
        version += c == '.' ? std::string("\\.") : std::string(1, c);
    const auto expectVersion = [&](const TRunResult& run, const std::string& program,
                                   const std::string& rest) {
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        const std::size_t end = run.Out.find('\n');
        EXPECT_THAT(run.Out.substr(0, end),
                    testing::MatchesRegex(program + " " + version + " " + build))
            << program;
        EXPECT_EQ(run.Out.substr(end + 1), rest) << program;
    };
    expectVersion(Cli({"--version"}), "meridax-cli", licence);
    expectVersion(RunToEnd({MERIDAX_METER_SIM, "--version"}), "meridax-meter-sim", licence);
#ifdef MERIDAX_APP
    // Without a display.
    expectVersion(RunToEnd({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                            "QT_QPA_PLATFORM=xcb", MERIDAX_APP, "--version"}),
                  "meridax", "");
#endif
}

TEST_F(CliImportTest, PortsListsDevicePaths) {
    TRunResult r = Cli({"ports"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    std::size_t at = 0;
    while (at < r.Out.size()) {
        std::size_t end = r.Out.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(r.Out.compare(at, 5, "/dev/"), 0) << r.Out;
        at = end + 1;
    }
}

// The meter keeps sending the dump an interrupted import asked for; the next import must wait
// for it to end rather than take its tail for the name and the dump.
TEST_F(CliImportTest, ARetryRightAfterAnInterruptedPacedImportGetsExactlyTheMetersRecords) {
    const Args simOptions{"--records", "500", "--baud", "19200"};
    const std::string dump = SaveDump(simOptions);
    const auto sim = StartSim(simOptions);
    {
        TSubprocess first({MERIDAX_CLI, "import", "--port", sim->Path(), "--to", Path("first.mxe")},
                          Path("first-stderr.txt"));
        // The name comes just before "u"; a moment later the dump is under way.
        ASSERT_TRUE(first.ReadLine(std::chrono::seconds(60)));
        std::this_thread::sleep_for(std::chrono::seconds(1));
        first.Signal(SIGINT);
        ASSERT_EQ(first.Wait(std::chrono::seconds(60)), 128 + SIGINT);
    }
    TRunResult retry = Cli({"import", "--port", sim->Path(), "--to", Path("retry.mxe")});
    ASSERT_EQ(retry.ExitCode, 0) << retry.Err;
    EXPECT_EQ(retry.Out, "MERIDAX OLM-45    SN 0412871\n");
    EXPECT_NE(retry.Err.find("Waiting for the busy line on " + sim->Path() + " to go quiet"),
              std::string::npos)
        << retry.Err;
    TRunResult converted = Cli({"convert", dump, "--to", Path("convert.mxe")});
    ASSERT_EQ(converted.ExitCode, 0) << converted.Err;
    EXPECT_TRUE(ReadFileBytes(Path("retry.mxe")) == ReadFileBytes(Path("convert.mxe")));
}

// argv run as nobody when the tests run as root, as they are otherwise.
TRunResult RunUnprivileged(const Args& argv) {
    TSubprocessOptions options;
    options.AsNobody = true;
    return RunToEnd(argv, options);
}

TEST_F(CliImportTest, PortsAllAndTheImportTellAnUnprivilegedUserHowToGetTheRight) {
    const TProgramForNobody cli(MERIDAX_CLI);
    fs::permissions(dir.Path(),
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    if (const auto why = WhyNobodyCannotUse(dir.Path(), X_OK)) {
        GTEST_SKIP() << *why;
    }
    // Denied, held by another program, free; owner only, so that the owner when not root is
    // refused by the mode too.
    TPseudoTerminal denied, held, free;
    ASSERT_EQ(::chmod(denied.SlavePath().c_str(), 0), 0);
    for (const auto* pty : {&held, &free}) {
        ASSERT_EQ(::chmod(pty->SlavePath().c_str(), 0666), 0);
    }
    const int holder = ::open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    fs::create_symlink(denied.SlavePath(), Path("ttyUSB0"));
    fs::create_symlink(held.SlavePath(), Path("ttyUSB1"));
    fs::create_symlink(free.SlavePath(), Path("ttyACM0"));
    std::ofstream(Path("ttyV0")) << "a file";

    TRunResult ports = RunUnprivileged({cli.Path(), "ports", "--all", "--folder", dir.Path()});
    // No group may use a device of mode 0000: the hint says so and names its owner.
    struct stat info {};
    ASSERT_EQ(::stat(denied.SlavePath().c_str(), &info), 0);
    const std::string owner = ::getpwuid(info.st_uid)->pw_name;
    const std::string group = ::getgrgid(info.st_gid)->gr_name;
    const std::string hint = "joining a group would not help: only its owner " + owner +
                             " may open it (" + owner + ":" + group +
                             ", mode 0000); a udev rule for the adapter can let you in (see the "
                             "README, Serial port permissions)";
    EXPECT_EQ(ports.ExitCode, 0) << ports.Err;
    EXPECT_EQ(ports.Out, Path("ttyUSB0") + ": permission denied: " + hint + "\n" + Path("ttyUSB1") +
                             ": busy\n" + Path("ttyACM0") + ": available\n" + Path("ttyV0") +
                             ": not a serial port\n");

    TRunResult import =
        RunUnprivileged({cli.Path(), "import", "--port", denied.SlavePath(), "--to", "-"});
    ::close(holder);
    EXPECT_EQ(import.ExitCode, 1);
    EXPECT_NE(import.Err.find("cannot open " + denied.SlavePath() + ": Permission denied; " + hint),
              std::string::npos)
        << import.Err;
}

}  // namespace
