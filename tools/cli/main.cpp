#include <iostream>
#include <string>
#include <vector>

#include "tools/cli/Commands.h"
#include "tools/cli/ConvertOptions.h"

namespace {

const char* const Usage =
    "usage: meridax-cli convert INPUT --to OUTPUT [--page all|absolute|relative] [--header]\n"
    "                           [--device TEXT] [--separator ,|.]\n"
    "       meridax-cli import --port PATH --to OUTPUT [options]   (see meridax-cli import "
    "--help)\n"
    "       meridax-cli ports\n"
    "       meridax-cli --help\n";

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::cerr << Usage;
        return 2;
    }
    const std::string& command = words.front();
    const std::vector<std::string> args(words.begin() + 1, words.end());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << "meridax-cli: the MERIDAX data exporter's command-line tool\n\n"
                  << Usage << '\n'
                  << ConvertHelp;
        return 0;
    }
    if (command == "convert")
        return RunConvert(args);
    if (command == "import")
        return RunImport(args);
    if (command == "ports")
        return RunPorts(args);
    std::cerr << "meridax-cli: unknown command '" << command << "'\n" << Usage;
    return 2;
}
