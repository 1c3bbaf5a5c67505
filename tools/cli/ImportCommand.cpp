#include <iostream>

#include "tools/cli/Commands.h"

int RunImport(const std::vector<std::string>&) {
    std::cerr << "meridax-cli: not available in this build\n";
    return 2;
}
