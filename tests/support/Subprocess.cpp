#include "support/Subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "support/Nobody.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

[[noreturn]] void ThrowLastError(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// A pipe whose ends are closed on exec and on destruction unless taken.
struct TPipe {
    int Read = -1;
    int Write = -1;
    explicit TPipe(bool wanted) {
        int fds[2];
        if (wanted && ::pipe2(fds, O_CLOEXEC) != 0) {
            ThrowLastError("pipe2");
        }
        if (wanted) {
            Read = fds[0];
            Write = fds[1];
        }
    }
    ~TPipe() {
        CloseIfOpen(Read);
        CloseIfOpen(Write);
    }
    TPipe(const TPipe&) = delete;
    TPipe& operator=(const TPipe&) = delete;
};

// The bytes for standard input in an unlinked in-memory file, so that no pipe can fill up.
int InputFile(const std::string& text) {
    const int fd = ::memfd_create("meridax-test-input", MFD_CLOEXEC);
    if (fd < 0) {
        ThrowLastError("memfd_create");
    }
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) {
            ::close(fd);
            ThrowLastError("write");
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

std::vector<std::string> Environment(const TSubprocessOptions& options) {
    std::vector<std::string> entries;
    const auto named = [](const std::string& entry, const std::string& name) {
        return entry.compare(0, name.size(), name) == 0 && entry.size() > name.size() &&
               entry[name.size()] == '=';
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
        entries.emplace_back(*entry);
    }
    std::vector<std::string> removed = options.UnsetEnvironment;
    for (const auto& set : options.SetEnvironment) {
        removed.push_back(set.substr(0, set.find('=')));
    }
    std::erase_if(entries, [&](const std::string& entry) {
        return std::any_of(removed.begin(), removed.end(),
                           [&](const std::string& name) { return named(entry, name); });
    });
    entries.insert(entries.end(), options.SetEnvironment.begin(), options.SetEnvironment.end());
    return entries;
}

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (const auto& text : strings) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

bool Redirect(int fd, int target) {
    return fd >= 0 && ::dup2(fd, target) >= 0;
}

bool RedirectToFile(const std::string& path, int flags, int target) {
    const int fd = ::open(path.c_str(), flags, 0644);
    const bool done = Redirect(fd, target);
    if (fd >= 0 && fd != target) {
        ::close(fd);
    }
    return done;
}

// What the child does with its standard descriptors; false when one cannot be set up.
struct TChildStreams {
    int Input = -1;
    int Output = -1;
    int Error = -1;

    bool Apply(const TSubprocessOptions& options) const {
        if (options.CloseStandardDescriptors) {
            return ::close(STDIN_FILENO) == 0 && ::close(STDOUT_FILENO) == 0 &&
                   ::close(STDERR_FILENO) == 0;
        }
        const bool input = Input >= 0 ? Redirect(Input, STDIN_FILENO)
                                      : RedirectToFile(options.InputPath, O_RDONLY, STDIN_FILENO);
        const int writeFlags = O_WRONLY | O_CREAT | O_TRUNC;
        const bool output = Output >= 0
                                ? Redirect(Output, STDOUT_FILENO)
                                : RedirectToFile(options.OutputPath, writeFlags, STDOUT_FILENO);
        bool error = true;
        if (!options.ErrorPath.empty()) {
            error = RedirectToFile(options.ErrorPath, writeFlags, STDERR_FILENO);
        } else if (Error >= 0) {
            error = Redirect(Error, STDERR_FILENO);
        }
        return input && output && error;
    }
};

[[noreturn]] void RunChild(const TChildStreams& streams, const TSubprocessOptions& options,
                           const std::vector<char*>* argv, const std::vector<char*>& envp,
                           const std::function<int()>* body) noexcept {
    if (!streams.Apply(options)) {
        ::_exit(SubprocessCannotStart);
    }
    if (options.AddressSpaceLimit) {
        const rlimit limit{*options.AddressSpaceLimit, *options.AddressSpaceLimit};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            ::_exit(SubprocessCannotStart);
        }
    }
    if (options.AsNobody && ::geteuid() == 0 && !BecomeNobody()) {
        ::_exit(SubprocessCannotBecomeNobody);
    }
    try {
        if (options.Prepare) {
            options.Prepare(::getpid());
        }
        if (body != nullptr) {
            ::_exit((*body)());
        }
    } catch (const std::exception& error) {
        // Said on the child's standard error, so that a failing case shows why.
        const std::string text = std::string("subprocess: ") + error.what() + '\n';
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
        ::_exit(SubprocessCannotStart);
    } catch (...) {
        ::_exit(SubprocessCannotStart);
    }
    ::execvpe((*argv)[0], argv->data(), envp.data());
    ::_exit(SubprocessCannotStart);
}

}  // namespace

TSubprocess::TSubprocess(const std::vector<std::string>& argv, const TSubprocessOptions& options) {
    Start(&argv, nullptr, options);
}

TSubprocess::TSubprocess(const std::function<int()>& body, const TSubprocessOptions& options) {
    Start(nullptr, &body, options);
}

TSubprocess::TSubprocess(const std::vector<std::string>& argv, const std::string& stderrPath,
                         const std::string& stdoutPath) {
    TSubprocessOptions options;
    options.ErrorPath = stderrPath;
    options.OutputPath = stdoutPath;
    Start(&argv, nullptr, options);
}

void TSubprocess::Start(const std::vector<std::string>* argv, const std::function<int()>* body,
                        const TSubprocessOptions& options) {
    const bool streams = !options.CloseStandardDescriptors;
    TPipe outPipe(streams && options.OutputPath.empty());
    TPipe errPipe(streams && options.ErrorPath.empty() && options.CaptureError);
    TChildStreams child{-1, outPipe.Write, errPipe.Write};
    if (streams && options.Input) {
        child.Input = InputFile(*options.Input);
    }
    const std::vector<std::string> environment = Environment(options);
    const std::vector<char*> envp = Pointers(environment);
    const std::vector<char*> args = argv != nullptr ? Pointers(*argv) : std::vector<char*>{};
    pid_ = ::fork();
    if (pid_ == 0) {
        RunChild(child, options, argv != nullptr ? &args : nullptr, envp, body);
    }
    const int forkError = errno;
    if (child.Input >= 0) {
        ::close(child.Input);
    }
    if (pid_ < 0) {
        throw std::system_error(forkError, std::generic_category(), "fork");
    }
    std::swap(out_, outPipe.Read);
    std::swap(err_, errPipe.Read);
}

TSubprocess::~TSubprocess() noexcept {
    if (!status_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    CloseIfOpen(out_);
    CloseIfOpen(err_);
}

bool TSubprocess::Fill(Clock::time_point deadline) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (out_ < 0 && err_ < 0) {
        return false;
    }
    if (::poll(fds, 2, MillisecondsLeft(deadline)) <= 0) {
        return false;
    }
    const std::pair<int*, std::string*> streams[2] = {{&out_, &outBuffer_}, {&err_, &errBuffer_}};
    for (std::size_t i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) {
            continue;
        }
        char buffer[65536];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            streams[i].second->append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            CloseIfOpen(*streams[i].first);
        }
    }
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
        if (out_ < 0 || Clock::now() >= deadline) {
            return std::nullopt;
        }
        Fill(deadline);
    }
}

std::string TSubprocess::ReadAll(std::chrono::milliseconds wait) {
    auto deadline = Clock::now() + wait;
    while ((out_ >= 0 || err_ >= 0) && Clock::now() < deadline) {
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
            if (WIFSIGNALED(status)) {
                signal_ = WTERMSIG(status);
            }
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

TRunResult RunToEnd(const std::vector<std::string>& argv, TSubprocessOptions options,
                    std::chrono::milliseconds wait) {
    options.CaptureError = true;
    TSubprocess child(argv, options);
    TRunResult result;
    result.Out = child.ReadAll(wait);
    result.Err = child.ErrorText();
    result.ExitCode = child.Wait(wait).value_or(-1);
    result.TermSignal = child.TermSignal().value_or(0);
    return result;
}

int RunInChild(const std::function<int()>& body, const TSubprocessOptions& options,
               std::chrono::milliseconds wait) {
    TSubprocess child(body, options);
    child.ReadAll(wait);
    return child.Wait(wait).value_or(-1);
}
