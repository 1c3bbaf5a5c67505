#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/common/StartOptions.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

namespace {

using TAction = TStartOptions::TAction;

const TUserFolders Folders{"/home/tech", "/home/tech/.config"};

struct TStartCase {
    std::vector<std::string> arguments;  // after the program's name
    TAction action;
    std::string settingsFile;
    std::string dialogFolder;
    std::vector<std::string> leftForTheToolkit;
    std::string problem;
};

class StartOptionsTest : public testing::TestWithParam<TStartCase> {};

TEST_P(StartOptionsTest, TakesItsOwnOptionsAndLeavesTheRest) {
    const TStartCase& c = GetParam();
    std::vector<std::string> storage{"meridax"};
    storage.insert(storage.end(), c.arguments.begin(), c.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int argc = static_cast<int>(storage.size());

    const TStartOptions options = TakeStartOptions(argc, argv.data(), Folders);

    EXPECT_EQ(options.Action, c.action);
    EXPECT_EQ(options.SettingsFile, c.settingsFile);
    EXPECT_EQ(options.DialogFolder, c.dialogFolder);
    EXPECT_EQ(options.MakeSettingsFolder, !c.dialogFolder.empty());
    EXPECT_EQ(options.Problem, c.problem);
    if (c.action != TAction::WrongUsage) {
        std::vector<std::string> left{"meridax"};
        left.insert(left.end(), c.leftForTheToolkit.begin(), c.leftForTheToolkit.end());
        ASSERT_EQ(argc, static_cast<int>(left.size()));
        for (int i = 0; i < argc; ++i) {
            EXPECT_EQ(argv[i], left[i]) << i;
        }
        EXPECT_EQ(argv[argc], nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, StartOptionsTest,
    testing::Values(
        TStartCase{{}, TAction::Run, "", "", {}, ""},
        TStartCase{
            {"-platform", "offscreen"}, TAction::Run, "", "", {"-platform", "offscreen"}, ""},
        TStartCase{{"--settings", "/tmp/a.ini", "-style", "fusion"},
                   TAction::Run,
                   "/tmp/a.ini",
                   "",
                   {"-style", "fusion"},
                   ""},
        TStartCase{{"--settings=rel/b.ini"}, TAction::Run, "rel/b.ini", "", {}, ""},
        TStartCase{{"-platform", "offscreen", "--user-settings"},
                   TAction::Run,
                   "/home/tech/.config/meridax/settings.ini",
                   "/home/tech",
                   {"-platform", "offscreen"},
                   ""},
        TStartCase{{"--version"}, TAction::ShowVersion, "", "", {}, ""},
        TStartCase{{"--help"}, TAction::ShowHelp, "", "", {}, ""},
        TStartCase{{"--settings"}, TAction::WrongUsage, "", "", {}, "--settings needs a FILE"},
        TStartCase{{"--settings="}, TAction::WrongUsage, "", "", {}, "--settings needs a FILE"},
        TStartCase{{"--settings", "a.ini", "--user-settings"},
                   TAction::WrongUsage,
                   "",
                   "",
                   {},
                   "--settings and --user-settings exclude each other"},
        TStartCase{{"--settings", ""}, TAction::WrongUsage, "", "", {}, "--settings needs a FILE"},
        TStartCase{{"--settings", "a.ini", "--settings=b.ini"}, TAction::Run, "b.ini", "", {}, ""},
        TStartCase{{"-style=fusion", "--settings", "a.ini", "file.mxe", "--reverse", "-platform",
                    "offscreen"},
                   TAction::Run,
                   "a.ini",
                   "",
                   {"-style=fusion", "file.mxe", "--reverse", "-platform", "offscreen"},
                   ""},
        TStartCase{{"--help", "--version"}, TAction::ShowVersion, "", "", {}, ""},
        TStartCase{{"--version", "-platform", "offscreen", "--help"},
                   TAction::ShowHelp,
                   "",
                   "",
                   {"-platform", "offscreen"},
                   ""},
        TStartCase{{"--user-settings", "--user-settings"},
                   TAction::Run,
                   "/home/tech/.config/meridax/settings.ini",
                   "/home/tech",
                   {},
                   ""}));

// Sets an environment variable for the test's lifetime, or removes it (nullopt).
class TEnvironmentValue {
public:
    TEnvironmentValue(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~TEnvironmentValue() noexcept { Set(old_); }
    TEnvironmentValue(const TEnvironmentValue&) = delete;
    TEnvironmentValue& operator=(const TEnvironmentValue&) = delete;

private:
    void Set(const std::optional<std::string>& value) noexcept {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

    const char* name_;
    std::optional<std::string> old_;
};

TEST(UserFoldersTest, ConfigHomeIsAnAbsoluteXdgConfigHomeElseHomeDotConfig) {
    TEnvironmentValue home("HOME", "/home/tech");
    {
        TEnvironmentValue config("XDG_CONFIG_HOME", "/srv/cfg");
        EXPECT_EQ(CurrentUserFolders().Home, "/home/tech");
        EXPECT_EQ(CurrentUserFolders().ConfigHome, "/srv/cfg");
    }
    {
        TEnvironmentValue config("XDG_CONFIG_HOME", "relative/cfg");
        EXPECT_EQ(CurrentUserFolders().ConfigHome, "/home/tech/.config");
    }
    TEnvironmentValue config("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(CurrentUserFolders().ConfigHome, "/home/tech/.config");
}

TEST(UserFoldersTest, WithoutHomeThePasswordDatabaseSaysWhere) {
    TEnvironmentValue home("HOME", std::nullopt);
    TEnvironmentValue config("XDG_CONFIG_HOME", std::nullopt);
    const TUserFolders folders = CurrentUserFolders();
    ASSERT_FALSE(folders.Home.empty());
    EXPECT_EQ(folders.Home.front(), '/');
    EXPECT_TRUE(folders.ConfigHome.ends_with("/.config"));
}

TEST(MakeFoldersTest, MakesEveryMissingParentPrivateAndAcceptsExistingOnes) {
    TTempFolder temp("meridax-folders");
    const std::string path = temp.File("config/meridax");
    ASSERT_FALSE(MakeFolders(path));
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(temp.File("config").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_FALSE(MakeFolders(path));
    EXPECT_FALSE(MakeFolders(path + "/"));
}

TEST(MakeFoldersTest, AFileInTheWayIsReported) {
    TTempFolder temp("meridax-folders");
    WriteFileBytes(temp.File("file"), "x");
    EXPECT_EQ(MakeFolders(temp.File("file")), std::errc::not_a_directory);
    EXPECT_EQ(MakeFolders(temp.File("file/sub")), std::errc::not_a_directory);
}

}  // namespace
