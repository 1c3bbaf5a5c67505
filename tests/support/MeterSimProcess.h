#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/Subprocess.h"

// meridax-meter-sim (at program) run as a child; its port's path is the first line it prints.
// Standard error goes to stderrPath, or where the test's own goes when that is empty.
class TMeterSimProcess {
public:
    TMeterSimProcess(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& stderrPath = "");

    const std::string& Path() const { return path_; }
    pid_t Pid() const { return process_.Pid(); }

    // Sends SIGTERM (or nothing) and waits for the end; gives the exit status (128 + signal
    // if killed), or -1 when it did not end in time.
    int Stop(bool terminate = true);
    int ExitStatus();

private:
    TSubprocess process_;
    std::string path_;
};

// Runs meridax-meter-sim to its end with standard output and error discarded; gives the exit
// status.
int RunMeterSim(const std::string& program, const std::vector<std::string>& arguments);
