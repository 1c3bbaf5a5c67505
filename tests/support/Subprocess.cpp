#include "support/Subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "support/FileBytes.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

TSubprocess::TSubprocess(const std::vector<std::string>& argv, const std::string& stderrPath,
                         const std::string& stdoutPath) {
    int pipeFds[2] = {-1, -1};
    if (stdoutPath.empty() && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutPath.empty()) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        outEnded_ = true;
    }
    if (!stderrPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    // A name without a slash is looked up in PATH.
    int rc = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0) {
        ::close(pipeFds[1]);
    }
    if (rc != 0) {
        if (pipeFds[0] >= 0) {
            ::close(pipeFds[0]);
        }
        throw std::system_error(rc, std::generic_category(), "posix_spawn " + argv[0]);
    }
    out_ = pipeFds[0];
}

TSubprocess::~TSubprocess() noexcept {
    if (!status_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (out_ >= 0) {
        ::close(out_);
    }
}

bool TSubprocess::Fill(Clock::time_point deadline) {
    if (outEnded_) {
        return false;
    }
    pollfd fd{out_, POLLIN, 0};
    int ready = ::poll(&fd, 1, MillisecondsLeft(deadline));
    if (ready <= 0) {
        return false;
    }
    char buffer[65536];
    ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) {
        outEnded_ = n == 0 || errno != EINTR;
        return false;
    }
    outBuffer_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> TSubprocess::ReadLine(std::chrono::milliseconds wait) {
    auto deadline = Clock::now() + wait;
    for (;;) {
        if (auto end = outBuffer_.find('\n'); end != std::string::npos) {
            std::string line = outBuffer_.substr(0, end);
            outBuffer_.erase(0, end + 1);
            return line;
        }
        if (outEnded_ || Clock::now() >= deadline) {
            return std::nullopt;
        }
        Fill(deadline);
    }
}

std::string TSubprocess::ReadAll(std::chrono::milliseconds wait) {
    auto deadline = Clock::now() + wait;
    while (!outEnded_ && Clock::now() < deadline) {
        Fill(deadline);
    }
    return std::exchange(outBuffer_, {});
}

std::optional<int> TSubprocess::Wait(std::chrono::milliseconds wait) {
    auto deadline = Clock::now() + wait;
    while (!status_) {
        int status = 0;
        pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status_;
}

void TSubprocess::Signal(int signo) {
    if (!status_ && pid_ > 0) {
        ::kill(pid_, signo);
    }
}

TRunResult RunToEnd(const std::vector<std::string>& argv, const std::string& scratchDir,
                    std::chrono::milliseconds wait) {
    const std::string errPath = scratchDir + "/stderr.txt";
    TSubprocess child(argv, errPath);
    TRunResult result;
    result.Out = child.ReadAll(wait);
    auto code = child.Wait(wait);
    result.ExitCode = code ? *code : -1;
    result.Err = ReadFileBytes(errPath);
    return result;
}
