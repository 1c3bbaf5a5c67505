#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "comm/EnumComPorts.h"
#include "tools/cli/Commands.h"

int RunPorts() {
    std::vector<std::string> ports;
    EnumComPorts(&ports);
    for (const auto& port : ports) {
        std::cout << port << '\n';
    }
    std::cout.flush();
    if (!std::cout)
        throw std::runtime_error("cannot write the port list");
    return 0;
}
