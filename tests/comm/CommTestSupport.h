#pragma once

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include "support/PseudoTerminal.h"
#include "support/PumpUntil.h"

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
