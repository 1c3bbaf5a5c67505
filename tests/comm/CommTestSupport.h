#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include "comm/FileDescriptor.h"
#include "comm/Synchronizer.h"

// Generous: the suite also runs under sanitizers on a loaded two-core machine.
inline constexpr std::chrono::milliseconds PatientWait{30000};

// The test thread plays the window thread: it serves hand-offs until done holds.
inline bool PumpUntil(TSynchronizer& sync, const std::function<bool()>& done) {
    return sync.WaitUntil(done, PatientWait);
}

// A pseudo-terminal pair: the test holds the master, the component opens the slave by name.
class TPtyPair {
public:
    TPtyPair() {
        master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!master_.Valid() || ::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0) {
            throw std::runtime_error("cannot make a pseudo-terminal");
        }
        char name[128] = {};
        if (::ptsname_r(master_.Get(), name, sizeof name) != 0) {
            throw std::runtime_error("cannot name a pseudo-terminal");
        }
        slaveName_ = name;
    }
    int Master() const { return master_.Get(); }
    const std::string& SlaveName() const { return slaveName_; }
    void CloseMaster() { master_.Reset(); }

    void Send(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(master_.Get(), bytes.data() + done, bytes.size() - done);
            if (put <= 0) {
                throw std::runtime_error("cannot write to the pseudo-terminal master");
            }
            done += static_cast<std::size_t>(put);
        }
    }

    // Reads from the master until count bytes came or the patient wait ran out.
    std::string Receive(std::size_t count) const {
        std::string bytes;
        const auto deadline = std::chrono::steady_clock::now() + PatientWait;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd ready{master_.Get(), POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) {
                continue;
            }
            char buffer[65536];
            const ssize_t got =
                ::read(master_.Get(), buffer, std::min(sizeof buffer, count - bytes.size()));
            if (got <= 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }

private:
    TFileDescriptor master_;
    std::string slaveName_;
};

inline std::string RandomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

// CPU time (user + system, in clock ticks) of every thread of this process but the caller.
inline long OtherThreadsCpuTicks() {
    const long self = static_cast<long>(::syscall(SYS_gettid));
    long ticks = 0;
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) {
        throw std::runtime_error("cannot list /proc/self/task");
    }
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.' || std::stol(entry->d_name) == self) {
            continue;
        }
        std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        // After the name: state, then fields 4..; utime and stime are fields 14 and 15.
        std::istringstream fields(line.substr(close + 2));
        std::string field;
        for (int number = 3; number <= 15 && fields >> field; ++number) {
            if (number == 14 || number == 15) {
                ticks += std::stol(field);
            }
        }
    }
    ::closedir(tasks);
    return ticks;
}
