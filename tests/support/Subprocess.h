#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A child process for end-to-end tests and benchmarks. Its standard output comes through a
// pipe (read by ReadLine/ReadAll), or goes to stdoutPath when one is given; standard error
// goes to stderrPath, or where the test's own goes when that is empty. Standard input is
// /dev/null. Killed and reaped on destruction.
class TSubprocess {
public:
    TSubprocess(const std::vector<std::string>& argv, const std::string& stderrPath = "",
                const std::string& stdoutPath = "");
    ~TSubprocess() noexcept;
    TSubprocess(const TSubprocess&) = delete;
    TSubprocess& operator=(const TSubprocess&) = delete;

    pid_t Pid() const { return pid_; }
    // One line of standard output without its LF; nothing when the wait runs out or the
    // output ends first.
    std::optional<std::string> ReadLine(std::chrono::milliseconds wait);
    // Standard output up to its end (or the wait).
    std::string ReadAll(std::chrono::milliseconds wait);
    // The exit code (128 + signal for a signal), or nothing when the wait runs out.
    std::optional<int> Wait(std::chrono::milliseconds wait);
    // Sends signo to the child while it runs.
    void Signal(int signo);

private:
    bool Fill(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int out_ = -1;
    bool outEnded_ = false;
    std::string outBuffer_;
    std::optional<int> status_;
};

// Runs argv to its end (at most wait) and gives the exit code, standard output and error.
struct TRunResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};
TRunResult RunToEnd(const std::vector<std::string>& argv, const std::string& scratchDir,
                    std::chrono::milliseconds wait = std::chrono::seconds(120));
