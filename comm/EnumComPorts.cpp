#include "comm/EnumComPorts.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/UniqueFd.h"

namespace {

constexpr const char* Families[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm", "ttyV"};
constexpr int PortsPerFamily = 256;

// The kernel makes /dev/ttyS nodes for every possible legacy UART; those without hardware
// report the type PORT_UNKNOWN.
bool NoUartBehind(int fd) {
    serial_struct info{};
    return ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
}

}  // namespace

std::vector<std::string> DefaultComPortCandidates(const std::string& folder) {
    std::vector<std::string> candidates;
    candidates.reserve(std::size(Families) * PortsPerFamily);
    for (const char* family : Families) {
        for (int number = 0; number < PortsPerFamily; ++number) {
            candidates.push_back(folder + "/" + family + std::to_string(number));
        }
    }
    return candidates;
}

bool ComPortAvailable(const std::string& Device) {
    // stat first: most candidates do not exist, and this keeps the whole scan in milliseconds.
    struct stat info {};
    if (::stat(Device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    // Non-blocking, so that a port waiting for a carrier cannot hold the probe.
    TUniqueFd probe(::open(Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!probe.Valid() || ::isatty(probe.Get()) == 0) {
        return false;
    }
    if (::flock(probe.Get(), LOCK_EX | LOCK_NB) != 0) {
        return false;
    }
    if (Device.rfind("/dev/ttyS", 0) == 0 && NoUartBehind(probe.Get())) {
        return false;
    }
    return true;  // closing the probe releases the lock
}

void EnumComPorts(std::vector<std::string>* List, const std::vector<std::string>& candidates) {
    if (List == nullptr) {
        return;
    }
    for (const std::string& candidate : candidates) {
        if (ComPortAvailable(candidate)) {
            List->push_back(candidate);
        }
    }
}

void EnumComPorts(std::vector<std::string>* List) {
    if (List == nullptr) {
        return;
    }
    EnumComPorts(List, DefaultComPortCandidates());
}
