#include "support/AddressSpace.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

bool CapAddressSpace(std::size_t extra) {
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit limit{};
    ::getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = static_cast<rlim_t>(pages * static_cast<std::size_t>(::getpagesize()) + extra);
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}
