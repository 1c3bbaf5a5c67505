#include "comm/EnumComPorts.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "sys/SystemText.h"
#include "sys/UniqueFd.h"

namespace {

constexpr const char* Families[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm", "ttyV"};
constexpr int PortsPerFamily = 256;

// The kernel makes /dev/ttyS nodes for every possible legacy UART; those without hardware
// report the type PORT_UNKNOWN.
bool NoUartBehind(int fd) {
    serial_struct info{};
    return ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
}

TPortState StateOfOpenError(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return TPortState::PermissionDenied;
        case EBUSY:
            return TPortState::Busy;
        case ENXIO:
        case ENODEV:
        case EIO:
            return TPortState::NotSerial;
        default:
            return TPortState::Failed;
    }
}

// Names through the reentrant calls: the scan may run beside other threads.
std::string UserName(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return found->pw_name;
    }
    return std::to_string(uid);
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return found->gr_name;
    }
    return std::to_string(gid);
}

TDeviceAccess AccessOf(const struct stat& info) {
    TDeviceAccess access;
    access.Known = true;
    access.Owner = UserName(info.st_uid);
    access.Group = GroupName(info.st_gid);
    access.Mode = static_cast<unsigned>(info.st_mode) & 07777u;
    access.GroupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    return access;
}

}  // namespace

TDeviceAccess DeviceAccess(const std::string& Device) {
    struct stat info {};
    if (::stat(Device.c_str(), &info) != 0) {
        return {};
    }
    return AccessOf(info);
}

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

std::optional<TPortCandidate> ProbeComPort(const std::string& Device) {
    // stat first: most candidates do not exist, and this keeps the whole scan in milliseconds.
    struct stat info {};
    if (::stat(Device.c_str(), &info) != 0) {
        return std::nullopt;
    }
    TPortCandidate candidate{Device, TPortState::NotSerial, {}, {}};
    if (!S_ISCHR(info.st_mode)) {
        return candidate;
    }
    // Non-blocking, so that a port waiting for a carrier cannot hold the probe.
    TUniqueFd probe(::open(Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!probe.Valid()) {
        const int error = errno;
        candidate.State = StateOfOpenError(error);
        if (candidate.State != TPortState::NotSerial) {
            candidate.Error = ErrnoCode(error);
        }
        if (candidate.State == TPortState::PermissionDenied) {
            candidate.Access = AccessOf(info);
        }
        return candidate;
    }
    if (::isatty(probe.Get()) == 0) {
        return candidate;
    }
    if (::flock(probe.Get(), LOCK_EX | LOCK_NB) != 0) {
        candidate.State = TPortState::Busy;
        candidate.Error = ErrnoCode(EBUSY);
        return candidate;
    }
    if (Device.rfind("/dev/ttyS", 0) == 0 && NoUartBehind(probe.Get())) {
        return candidate;
    }
    candidate.State = TPortState::Available;
    return candidate;  // closing the probe releases the lock
}

bool ComPortAvailable(const std::string& Device) {
    const std::optional<TPortCandidate> candidate = ProbeComPort(Device);
    return candidate && candidate->State == TPortState::Available;
}

std::vector<TPortCandidate> ProbeComPorts(const std::vector<std::string>& candidates) {
    std::vector<TPortCandidate> existing;
    for (const std::string& device : candidates) {
        if (std::optional<TPortCandidate> candidate = ProbeComPort(device)) {
            existing.push_back(std::move(*candidate));
        }
    }
    return existing;
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
