// A stop signal that comes while an output is written leaves no temporary file behind.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "sys/FileReplacement.h"
#include "tools/cli/StopSignalWatch.h"

namespace {

class StopSignalWatchTest : public testing::TestWithParam<int> {};

TEST_P(StopSignalWatchTest, RemovesTheTemporaryFileAndExitsWith128PlusTheSignal) {
    const TTempFolder folder("meridax-stop-signal");
    const int signo = GetParam();
    const std::string target = folder.File("out.mxe");
    WriteFileBytes(target, "old");
    TSubprocessOptions options;
    options.ErrorPath = folder.File("stderr");
    TSubprocess child(
        [&] {
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
            return 92;
        },
        options);
    const auto exitCode = child.Wait(std::chrono::seconds(120));
    // An exit of its own, not the signal's default action.
    ASSERT_FALSE(child.TermSignal()) << *child.TermSignal();
    EXPECT_EQ(exitCode, 128 + signo);
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
