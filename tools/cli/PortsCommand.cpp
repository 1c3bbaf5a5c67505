#include <iostream>

#include "tools/cli/Commands.h"

int RunPorts(const std::vector<std::string>&) {
    std::cerr << "meridax-cli: not available in this build\n";
    return 2;
}
