#include "tools/common/CommandLine.h"

#include <iostream>

namespace {

// The subcommand that was being read when parsing stopped.
const CLI::App& Innermost(const CLI::App& app) {
    const auto selected = app.get_subcommands();
    return selected.empty() ? app : Innermost(*selected.front());
}

std::string FullName(const CLI::App& command) {
    const CLI::App* parent = command.get_parent();
    return parent == nullptr ? command.get_name() : FullName(*parent) + " " + command.get_name();
}

}  // namespace

std::optional<int> ParseCommandLine(CLI::App& app, int argc, const char* const* argv,
                                    const std::function<std::string(const CLI::App&)>& usage) {
    try {
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help() << std::flush;
        return 0;
    } catch (const CLI::CallForVersion& version) {
        std::cout << version.what() << std::endl;
        return 0;
    } catch (const CLI::ParseError& error) {
        const CLI::App& command = Innermost(app);
        std::cerr << FullName(command) << ": " << error.what() << '\n' << usage(command);
        return 2;
    }
}
