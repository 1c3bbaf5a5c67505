#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/Subprocess.h"

inline std::vector<std::string> MeterSimArgv(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{MERIDAX_METER_SIM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

// meridax-meter-sim run as a child; its port path is read from the first line it prints.
class TMeterSimProcess {
public:
    explicit TMeterSimProcess(const std::vector<std::string>& arguments)
        : process_(MeterSimArgv(arguments)) {
        const auto line = process_.ReadLine(std::chrono::seconds(30));
        if (!line) {
            throw std::runtime_error("meridax-meter-sim printed no port");
        }
        path_ = *line;
    }

    const std::string& Path() const { return path_; }
    pid_t Pid() const { return process_.Pid(); }

    // Sends SIGTERM (or nothing) and waits for the end; gives the exit status (128 + signal
    // if killed).
    int Stop(bool terminate = true) {
        if (terminate) {
            process_.Signal(SIGTERM);
        }
        return process_.Wait(std::chrono::seconds(60)).value_or(-1);
    }

    // Whether the process has ended by itself (reaps it).
    bool Ended() { return process_.Wait(std::chrono::milliseconds(0)).has_value(); }
    int ExitStatus() { return process_.Wait(std::chrono::milliseconds(0)).value_or(-1); }

private:
    TSubprocess process_;
    std::string path_;
};

// Runs meridax-meter-sim to its end with standard output and error discarded; gives the exit
// status.
inline int RunMeterSim(const std::vector<std::string>& arguments) {
    TSubprocess sim(MeterSimArgv(arguments), "/dev/null", "/dev/null");
    return sim.Wait(std::chrono::seconds(120)).value_or(-1);
}
