#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// How a child's standard streams, environment and rights are set up.
struct TSubprocessOptions {
    // Standard input: these bytes when given, otherwise the file at InputPath.
    std::optional<std::string> Input;
    std::string InputPath = "/dev/null";
    // Standard output: captured through a pipe when empty, otherwise the file at OutputPath.
    std::string OutputPath;
    // Standard error: the file at ErrorPath when given, else captured when CaptureError,
    // else where the test's own goes.
    std::string ErrorPath;
    bool CaptureError = false;
    // All three standard descriptors closed, as some service managers start programs.
    bool CloseStandardDescriptors = false;
    // NAME=value entries set and names removed, over the test's own environment.
    std::vector<std::string> SetEnvironment;
    std::vector<std::string> UnsetEnvironment;
    // When the tests run as root, the child becomes nobody first (exit code
    // SubprocessCannotBecomeNobody when it cannot), so that permission bits count.
    bool AsNobody = false;
    // A cap on the child's address space in bytes (RLIMIT_AS).
    std::optional<rlim_t> AddressSpaceLimit;
    // Runs in the child, with its own process id, before the program starts.
    std::function<void(pid_t)> Prepare;
};

inline constexpr int SubprocessCannotBecomeNobody = 125;
inline constexpr int SubprocessCannotStart = 127;

// A child process for end-to-end tests and benchmarks: a program run with argv (a name
// without a slash is looked up in PATH), or a function run in a forked copy of the test whose
// return value is the exit code. Killed and reaped on destruction.
class TSubprocess {
public:
    TSubprocess(const std::vector<std::string>& argv, const TSubprocessOptions& options);
    TSubprocess(const std::function<int()>& body, const TSubprocessOptions& options);
    // Standard error to stderrPath (or where the test's goes), standard output to stdoutPath
    // (or captured).
    explicit TSubprocess(const std::vector<std::string>& argv, const std::string& stderrPath = "",
                         const std::string& stdoutPath = "");
    ~TSubprocess() noexcept;
    TSubprocess(const TSubprocess&) = delete;
    TSubprocess& operator=(const TSubprocess&) = delete;

    pid_t Pid() const { return pid_; }
    // One line of standard output without its LF; nothing when the wait runs out or the
    // output ends first.
    std::optional<std::string> ReadLine(std::chrono::milliseconds wait);
    // Standard output up to its end (or the wait); captured standard error is read along.
    std::string ReadAll(std::chrono::milliseconds wait);
    // The captured standard error read so far (all of it once ReadAll has returned).
    const std::string& ErrorText() const { return errBuffer_; }
    // The exit code (128 + signal for a signal), or nothing when the wait runs out.
    std::optional<int> Wait(std::chrono::milliseconds wait);
    // The signal that ended the child, once Wait has seen it end.
    std::optional<int> TermSignal() const { return signal_; }
    // Sends signo to the child while it runs.
    void Signal(int signo);

private:
    void Start(const std::vector<std::string>* argv, const std::function<int()>* body,
               const TSubprocessOptions& options);
    bool Fill(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outBuffer_;
    std::string errBuffer_;
    std::optional<int> status_;
    std::optional<int> signal_;
};

// Runs argv to its end (at most wait) and gives the exit code, standard output and error.
struct TRunResult {
    int ExitCode = -1;
    // The signal that ended it (0 when it exited by itself).
    int TermSignal = 0;
    std::string Out;
    std::string Err;
};
TRunResult RunToEnd(const std::vector<std::string>& argv, TSubprocessOptions options = {},
                    std::chrono::milliseconds wait = std::chrono::seconds(120));

// Runs body in a forked child to its end and gives its exit code (128 + signal for a
// signal, -1 when the wait runs out).
int RunInChild(const std::function<int()>& body, const TSubprocessOptions& options = {},
               std::chrono::milliseconds wait = std::chrono::seconds(120));
