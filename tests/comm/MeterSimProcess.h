#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "comm/FileDescriptor.h"

extern char** environ;

// meridax-meter-sim run as a child; its port path is read from the first line it prints.
class TMeterSimProcess {
public:
    explicit TMeterSimProcess(std::vector<std::string> arguments) {
        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0) {
            throw std::runtime_error("cannot make a pipe");
        }
        TFileDescriptor reading(output[0]);
        TFileDescriptor writing(output[1]);
        arguments.insert(arguments.begin(), MERIDAX_METER_SIM);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writing.Get(), STDOUT_FILENO);
        const int failed =
            ::posix_spawn(&pid_, MERIDAX_METER_SIM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) {
            throw std::runtime_error("cannot start meridax-meter-sim");
        }
        writing.Reset();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (path_.empty() || path_.back() != '\n') {
            pollfd ready{reading.Get(), POLLIN, 0};
            if (std::chrono::steady_clock::now() > deadline || ::poll(&ready, 1, 100) < 0) {
                throw std::runtime_error("meridax-meter-sim printed no port");
            }
            char byte = 0;
            if (ready.revents != 0 && ::read(reading.Get(), &byte, 1) != 1) {
                throw std::runtime_error("meridax-meter-sim ended before printing its port");
            }
            if (ready.revents != 0) {
                path_ += byte;
            }
        }
        path_.pop_back();
    }
    ~TMeterSimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    TMeterSimProcess(const TMeterSimProcess&) = delete;
    TMeterSimProcess& operator=(const TMeterSimProcess&) = delete;

    const std::string& Path() const { return path_; }
    pid_t Pid() const { return pid_; }

    // Sends SIGTERM (or nothing) and waits for the end; gives the exit status, -1 if killed.
    int Stop(bool terminate = true) {
        if (terminate) {
            ::kill(pid_, SIGTERM);
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Whether the process has ended by itself (reaps it).
    bool Ended() {
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return pid_ < 0;
    }
    int ExitStatus() const { return exitStatus_; }

private:
    pid_t pid_ = -1;
    int exitStatus_ = -1;
    std::string path_;
};

// Runs meridax-meter-sim to its end with standard output discarded; gives the exit status.
inline int RunMeterSim(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), MERIDAX_METER_SIM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed =
        ::posix_spawn(&pid, MERIDAX_METER_SIM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return -1;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
