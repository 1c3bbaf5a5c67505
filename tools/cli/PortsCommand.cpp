#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "comm/EnumComPorts.h"
#include "session/SessionStatus.h"
#include "sys/SystemText.h"
#include "tools/cli/Commands.h"

namespace {

std::string StateText(const TPortCandidate& candidate) {
    switch (candidate.State) {
        case TPortState::Available:
            return "available";
        case TPortState::Busy:
            return "busy";
        case TPortState::PermissionDenied:
            return "permission denied: " + PermissionHint(candidate.Access);
        case TPortState::NotSerial:
            return "not a serial port";
        case TPortState::Failed:
            break;
    }
    return "cannot be opened: " + SystemErrorText(candidate.Error);
}

}  // namespace

int RunPorts(bool all, const std::string& folder) {
    const std::vector<std::string> candidates = DefaultComPortCandidates(folder);
    if (all) {
        for (const TPortCandidate& candidate : ProbeComPorts(candidates)) {
            std::cout << candidate.Device << ": " << StateText(candidate) << '\n';
        }
    } else {
        std::vector<std::string> ports;
        EnumComPorts(&ports, candidates);
        for (const auto& port : ports) {
            std::cout << port << '\n';
        }
    }
    std::cout.flush();
    if (!std::cout)
        throw std::runtime_error("cannot write the port list");
    return 0;
}
