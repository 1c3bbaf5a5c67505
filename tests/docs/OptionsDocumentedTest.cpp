#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/Subprocess.h"

namespace {

using TOptions = std::set<std::string>;

const std::string Source = MERIDAX_SOURCE_DIR;

// Every long option a text names ("--max-dump", "--help").
TOptions OptionsIn(const std::string& text) {
    static const std::regex Option("--[a-z][a-z0-9-]*");
    TOptions options;
    for (auto at = std::sregex_iterator(text.begin(), text.end(), Option);
         at != std::sregex_iterator(); ++at) {
        options.insert(at->str());
    }
    return options;
}

TOptions Joined(TOptions a, const TOptions& b) {
    a.insert(b.begin(), b.end());
    return a;
}

// What --help prints (arguments before it name a command); it must succeed.
std::string Help(const std::string& program, std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), program);
    arguments.push_back("--help");
    TSubprocessOptions options;
    options.CaptureError = true;
    const TRunResult run = RunToEnd(arguments, options);
    EXPECT_EQ(run.ExitCode, 0) << program << ": " << run.Err;
    EXPECT_FALSE(run.Out.empty()) << program;
    return run.Out;
}

// The options a man page lists in its synopsis and its options section (the other sections
// may quote other programs' command lines).
TOptions ManPageOptions(const std::string& page) {
    std::string text = ReadFileBytes(Source + "/docs/man/" + page);
    for (std::size_t at = 0; (at = text.find("\\-", at)) != std::string::npos;) {
        text.erase(at, 1);
    }
    std::string listed;
    for (const char* section : {".SH SYNOPSIS\n", ".SH OPTIONS\n"}) {
        const std::size_t begin = text.find(section);
        EXPECT_NE(begin, std::string::npos) << page << " has no " << section;
        if (begin != std::string::npos) {
            listed += text.substr(begin, text.find("\n.SH ", begin + 1) - begin);
        }
    }
    return OptionsIn(listed);
}

const std::string Completion = ReadFileBytes(Source + "/packaging/completion/meridax-cli");

// The words the completion offers after a command ("convert) options='...'").
TOptions CompletionOptions(const std::string& command) {
    const std::regex line(command + R"(\) options='([^']*)')");
    std::smatch found;
    EXPECT_TRUE(std::regex_search(Completion, found, line)) << command;
    return found.empty() ? TOptions{} : OptionsIn(found[1].str());
}

const std::vector<std::string> CliCommands{"convert", "import",  "report",
                                           "job",     "archive", "ports"};
// The job's own commands; the completion names each "job-new" and so on.
const std::vector<std::string> JobCommands{"new",    "add", "list",   "show",   "set",    "void",
                                           "unvoid", "fix", "report", "export", "import", "sync"};

TEST(OptionsDocumentedTest, TheCliHelpTheManPageAndTheCompletionNameTheSameOptions) {
    TOptions help = OptionsIn(Help(MERIDAX_CLI));
    for (const std::string& command : CliCommands) {
        help = Joined(help, OptionsIn(Help(MERIDAX_CLI, {command})));
    }
    for (const std::string& command : JobCommands) {
        help = Joined(help, OptionsIn(Help(MERIDAX_CLI, {"job", command})));
    }
    help = Joined(help, OptionsIn(Help(MERIDAX_CLI, {"archive", "backup"})));
    EXPECT_FALSE(help.empty());
    EXPECT_TRUE(help.contains("--fibers"));
    EXPECT_EQ(ManPageOptions("meridax-cli.1"), help);
    EXPECT_EQ(OptionsIn(Completion), help);
}

TEST(OptionsDocumentedTest, EachCliCommandIsCompletedWithItsOwnOptions) {
    for (const std::string& command : CliCommands) {
        if (command == "job" || command == "archive")
            continue;  // they have commands of their own, below
        SCOPED_TRACE(command);
        // Every command takes --help, which its own text does not repeat.
        EXPECT_EQ(CompletionOptions(command),
                  Joined(OptionsIn(Help(MERIDAX_CLI, {command})), {"--help"}));
    }
    for (const std::string& command : JobCommands) {
        SCOPED_TRACE(command);
        EXPECT_EQ(CompletionOptions("job-" + command),
                  Joined(OptionsIn(Help(MERIDAX_CLI, {"job", command})), {"--help"}));
    }
    for (const std::string command : {"backup", "upgrade"}) {
        EXPECT_EQ(CompletionOptions("archive-" + command),
                  Joined(OptionsIn(Help(MERIDAX_CLI, {"archive", command})), {"--help"}));
    }
}

TEST(OptionsDocumentedTest, TheCliCommandsAreThoseItsHelpNames) {
    const std::regex commands(R"(compgen -W '((?:[a-z]+ )+)--help --version')");
    std::smatch found;
    ASSERT_TRUE(std::regex_search(Completion, found, commands));
    EXPECT_EQ(found[1].str(), "convert import report job archive ports ");
    const std::string help = Help(MERIDAX_CLI);
    for (const std::string& command : CliCommands) {
        EXPECT_NE(help.find("meridax-cli " + command + " "), std::string::npos) << command;
    }
    // The job's commands as its help and the completion name them.
    const std::regex jobCommands(R"(compgen -W '((?:[a-z]+ )+)--help' \\)");
    ASSERT_TRUE(std::regex_search(Completion, found, jobCommands));
    std::string listed;
    for (const std::string& command : JobCommands) {
        listed += command + " ";
        EXPECT_NE(Help(MERIDAX_CLI, {"job"}).find("meridax-cli job " + command), std::string::npos)
            << command;
    }
    EXPECT_EQ(found[1].str(), listed);
}

TEST(OptionsDocumentedTest, TheStandInsHelpAndManPageNameTheSameOptions) {
    const TOptions help = OptionsIn(Help(MERIDAX_METER_SIM));
    EXPECT_TRUE(help.contains("--records"));
    EXPECT_EQ(ManPageOptions("meridax-meter-sim.1"), help);
}

#ifdef MERIDAX_APP
TEST(OptionsDocumentedTest, TheWindowsHelpAndManPageNameTheSameOptions) {
    const TOptions help = OptionsIn(Help(MERIDAX_APP));
    EXPECT_EQ(help, (TOptions{"--help", "--settings", "--user-settings", "--version"}));
    EXPECT_EQ(ManPageOptions("meridax.1"), help);
}
#endif

// The checks themselves: an option only one side names is caught either way.
TEST(OptionsDocumentedTest, AnOptionOnOneSideOnlyIsFound) {
    EXPECT_EQ(OptionsIn("usage: x [--to OUTPUT] [--max-dump MB] | --help\n--to again"),
              (TOptions{"--help", "--max-dump", "--to"}));
    EXPECT_NE(OptionsIn("--page --header"), OptionsIn("--page"));
    EXPECT_TRUE(OptionsIn("-platform offscreen, a - b, -- x").empty());
}

}  // namespace

// What a reader of the man pages sees, blanks collapsed: JSON shows with its quotes.
TEST(ManPagesTest, JsonShowsAsWritten) {
    const std::vector<std::pair<std::string, std::string>> phrases = {
        {"meridax-budget.5", R"(Wavelength to {"min": ..., "max": ...} for absolute readings)"}};
    for (const auto& [page, phrase] : phrases) {
        const TRunResult run =
            RunToEnd({"groff", "-man", "-Tutf8", "-P-cbou", Source + "/docs/man/" + page});
        ASSERT_EQ(run.ExitCode, 0) << page;
        const std::string text = std::regex_replace(run.Out, std::regex("[ \n]+"), " ");
        EXPECT_NE(text.find(phrase), std::string::npos) << page << ":\n" << text;
    }
}
