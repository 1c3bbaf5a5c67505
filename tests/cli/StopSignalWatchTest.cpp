// A stop signal that comes while an output is written leaves no temporary file behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sys/FileReplacement.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "tools/cli/StopSignalWatch.h"

namespace {

class StopSignalWatchTest : public testing::TestWithParam<int> {};

TEST_P(StopSignalWatchTest, RemovesTheTemporaryFileAndExitsWith128PlusTheSignal) {
    const TTempFolder folder("meridax-stop-signal");
    const int signo = GetParam();
    const std::string target = folder.File("out.mxe");
    WriteFileBytes(target, "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(::open(folder.File("stderr").c_str(), O_WRONLY | O_CREAT, 0644), STDERR_FILENO);
        const TStopSignalWatch watch("interrupted\n");
        TReplaceHooks hooks;
        hooks.fail = [](const std::error_code&, TReplaceFailure, const std::string&) {
            ::_exit(90);
        };
        ReplaceFileSafely(
            target,
            [signo](const std::string& writePath, const std::string&) {
                WriteFileBytes(writePath, "half");
                ::kill(::getpid(), signo);
                ::poll(nullptr, 0, 60000);  // the watch ends the process before this does
                ::_exit(91);
            },
            hooks);
        ::_exit(92);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signo);
    EXPECT_EQ(ReadFileBytes(folder.File("stderr")), "interrupted\n");
    EXPECT_EQ(ReadFileBytes(target), "old");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"out.mxe", "stderr"}));
}

INSTANTIATE_TEST_SUITE_P(StopSignals, StopSignalWatchTest,
                         testing::Values(SIGINT, SIGTERM, SIGHUP));

}  // namespace
