// The shared test helpers: the child process's options and the exception checks must fail
// when they should, or the tests built on them prove nothing.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <system_error>

#include "support/Nobody.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

namespace {

using std::chrono::seconds;

// An error with a code, as the file and port errors carry one.
class ECodedError : public std::runtime_error {
public:
    ECodedError(const std::string& message, std::error_code code)
        : std::runtime_error(message), code_(code) {}
    const std::error_code& code() const noexcept { return code_; }

private:
    std::error_code code_;
};

void ThrowNotFound() {
    throw ECodedError("gone", std::make_error_code(std::errc::no_such_file_or_directory));
}

TEST(Throws, MatchingCodeAndMessagePass) {
    EXPECT_SYSTEM_ERROR(ThrowNotFound(), ECodedError, ENOENT, "gone");
    EXPECT_SYSTEM_ERROR(ThrowNotFound(), ECodedError, std::errc::no_such_file_or_directory, "gone");
    EXPECT_THROW_MESSAGE(throw std::invalid_argument("bad"), std::invalid_argument, "bad");
    EXPECT_EQ(MessageOf<ECodedError>(ThrowNotFound), "gone");
    EXPECT_EQ(MessageOf<ECodedError>([] {}), "no error");
}

TEST(Throws, AnotherCodeAMessageOrNoThrowFails) {
    EXPECT_NONFATAL_FAILURE(EXPECT_SYSTEM_ERROR(ThrowNotFound(), ECodedError, EACCES, "gone"),
                            "generic 2 (No such file or directory), not generic 13");
    EXPECT_NONFATAL_FAILURE(EXPECT_SYSTEM_ERROR(ThrowNotFound(), ECodedError, ENOENT, "here"),
                            "threw ECodedError \"gone\", not \"here\"");
    EXPECT_NONFATAL_FAILURE(EXPECT_THROW_MESSAGE((void)0, std::invalid_argument, "bad"),
                            "threw no std::invalid_argument");
}

TEST(Throws, ThrownByGivesTheExceptionForItsOwnFields) {
    const auto error = ThrownBy<ECodedError>(ThrowNotFound);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(ThrownBy<ECodedError>([] {}));
}

TEST(Subprocess, InputEnvironmentAndBothOutputs) {
    ::setenv("MERIDAX_SUPPORT_GONE", "1", 1);
    TSubprocessOptions options;
    options.Input = std::string(200000, 'x') + "\n";  // more than a pipe holds
    options.SetEnvironment = {"MERIDAX_SUPPORT_SET=here"};
    options.UnsetEnvironment = {"MERIDAX_SUPPORT_GONE"};
    const TRunResult run = RunToEnd(
        {"sh", "-c",
         "wc -c; echo \"$MERIDAX_SUPPORT_SET${MERIDAX_SUPPORT_GONE:-unset}\"; echo err >&2; "
         "exit 3"},
        options);
    EXPECT_EQ(run.ExitCode, 3);
    EXPECT_EQ(run.TermSignal, 0);
    EXPECT_EQ(run.Out, "200001\nhereunset\n");
    EXPECT_EQ(run.Err, "err\n");
}

TEST(Subprocess, ASignalIsToldApartFromAnExitCode) {
    const TRunResult killed = RunToEnd({"sh", "-c", "kill -TERM $$"});
    EXPECT_EQ(killed.ExitCode, 128 + SIGTERM);
    EXPECT_EQ(killed.TermSignal, SIGTERM);
    const TRunResult exited = RunToEnd({"sh", "-c", "exit 143"});
    EXPECT_EQ(exited.ExitCode, 143);
    EXPECT_EQ(exited.TermSignal, 0);
}

TEST(Subprocess, AFunctionRunsInTheChildWithItsOwnProcessId) {
    const pid_t parent = ::getpid();
    pid_t prepared = 0;
    TSubprocessOptions options;
    options.Prepare = [&prepared](pid_t pid) { prepared = pid; };
    // The child sees the process id Prepare got, which is its own and not the test's.
    EXPECT_EQ(
        RunInChild([&] { return prepared == ::getpid() && prepared != parent ? 7 : 1; }, options),
        7);
    EXPECT_EQ(prepared, 0) << "Prepare ran in the test's own process";
}

TEST(Subprocess, ClosedStandardDescriptorsAndAMissingProgram) {
    TSubprocessOptions closed;
    closed.CloseStandardDescriptors = true;
    EXPECT_EQ(RunInChild([] { return ::fcntl(0, F_GETFD) < 0 && ::fcntl(2, F_GETFD) < 0 ? 0 : 1; },
                         closed),
              0);
    EXPECT_EQ(RunToEnd({"/nonexistent/meridax-program"}).ExitCode, SubprocessCannotStart);
}

TEST(Subprocess, AsNobodyDropsRootOnly) {
    TSubprocessOptions options;
    options.AsNobody = true;
    const uid_t expected = ::geteuid() == 0 ? NobodyUser : ::geteuid();
    const int code = RunInChild([expected] { return ::geteuid() == expected ? 0 : 1; }, options);
    if (code == SubprocessCannotBecomeNobody)
        GTEST_SKIP() << "cannot become nobody here";
    EXPECT_EQ(code, 0);
}

}  // namespace
