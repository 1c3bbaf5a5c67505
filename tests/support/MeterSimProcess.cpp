#include "support/MeterSimProcess.h"

#include <signal.h>

#include <stdexcept>

#include "support/FileBytes.h"

namespace {

std::vector<std::string> Argv(const std::string& program,
                              const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

}  // namespace

TMeterSimProcess::TMeterSimProcess(const std::string& program,
                                   const std::vector<std::string>& arguments,
                                   const std::string& stderrPath)
    : process_(Argv(program, arguments), stderrPath) {
    // Generating a large memory takes a while under the sanitizers.
    const auto line = process_.ReadLine(std::chrono::seconds(120));
    if (!line) {
        throw std::runtime_error("meridax-meter-sim printed no port" +
                                 (stderrPath.empty() ? "" : ": " + ReadFileBytes(stderrPath)));
    }
    path_ = *line;
}

int TMeterSimProcess::Stop(bool terminate) {
    if (terminate) {
        process_.Signal(SIGTERM);
    }
    return process_.Wait(std::chrono::seconds(60)).value_or(-1);
}

int TMeterSimProcess::ExitStatus() {
    return process_.Wait(std::chrono::milliseconds(0)).value_or(-1);
}

int RunMeterSim(const std::string& program, const std::vector<std::string>& arguments) {
    TSubprocess sim(Argv(program, arguments), "/dev/null", "/dev/null");
    return sim.Wait(std::chrono::seconds(120)).value_or(-1);
}
