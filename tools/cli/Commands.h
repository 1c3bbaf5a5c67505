#pragma once

#include <string>
#include <vector>

// The subcommands of meridax-cli. args are the words after the subcommand's name.
// Each returns the process's exit code: 0 done, 1 failure (message on stderr), 2 wrong usage.
int RunConvert(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);
int RunPorts(const std::vector<std::string>& args);
