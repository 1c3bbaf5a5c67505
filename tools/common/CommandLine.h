#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// --help prints text as it stands (the programs keep their own wording, not CLI11's layout).
inline void SetHelpText(CLI::App& command, std::string text) {
    command.formatter_fn([text = std::move(text)](const CLI::App*, const std::string&,
                                                  CLI::AppFormatMode) { return text; });
}

// "a, b or c".
inline std::string ListOfChoices(const std::vector<std::string>& names) {
    std::string list;
    for (std::size_t at = 0; at < names.size(); ++at)
        list += (at == 0 ? "" : at + 1 == names.size() ? " or " : ", ") + names[at];
    return list;
}

// A value given by name: accepts one of choices and hands the value that goes with it on to
// the option's variable; anything else is refused naming the choices.
template <class T>
CLI::Validator Choice(std::vector<std::pair<std::string, T>> choices) {
    std::vector<std::string> names;
    for (const auto& choice : choices)
        names.push_back(choice.first);
    return CLI::Validator(
        [choices = std::move(choices),
         names = ListOfChoices(names)](std::string& text) -> std::string {
            for (const auto& [name, value] : choices) {
                if (name == text) {
                    text = std::to_string(static_cast<long long>(value));
                    return {};
                }
            }
            return "wants " + names + ", not '" + text + "'";
        },
        "");
}

// A text that must be one of choices.
inline CLI::Validator OneOf(std::vector<std::string> choices) {
    const std::string names = ListOfChoices(choices);
    return CLI::Validator(
        [choices = std::move(choices), names](const std::string& text) -> std::string {
            for (const auto& choice : choices) {
                if (choice == text)
                    return {};
            }
            return "wants " + names + ", not '" + text + "'";
        },
        "");
}

// The subcommand that was being read when parsing stopped.
inline const CLI::App& InnermostCommand(const CLI::App& app) {
    const auto selected = app.get_subcommands();
    return selected.empty() ? app : InnermostCommand(*selected.front());
}

// A (sub)command's name with its parents': "meridax-cli job add".
inline std::string FullCommandName(const CLI::App& command) {
    const CLI::App* parent = command.get_parent();
    return parent == nullptr ? command.get_name()
                             : FullCommandName(*parent) + " " + command.get_name();
}

// Parses the command line with app. Gives the exit code when the program ends here: 0 after
// --help or --version (their text on standard output); 2 after wrong usage, shown on standard
// error as "NAME: what is wrong" followed by usage(command), command being the (sub)command
// whose words were wrong and NAME its name with its parents'. Inline, so that only the sources
// that read the command line compile CLI11.
inline std::optional<int> ParseCommandLine(
    CLI::App& app, int argc, const char* const* argv,
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
        const CLI::App& command = InnermostCommand(app);
        std::cerr << FullCommandName(command) << ": " << error.what() << '\n' << usage(command);
        return 2;
    }
}
