#include <iostream>
#include <string>
#include <vector>

#include "comm/EnumComPorts.h"
#include "tools/cli/Commands.h"

int RunPorts(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::cerr << "usage: meridax-cli ports\n";
        return 2;
    }
    std::vector<std::string> ports;
    EnumComPorts(&ports);
    for (const auto& port : ports) {
        std::cout << port << '\n';
    }
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "meridax-cli: cannot write the port list\n";
        return 1;
    }
    return 0;
}
