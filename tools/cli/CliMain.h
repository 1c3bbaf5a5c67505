#pragma once

// meridax-cli: reads the command line, runs the subcommand it names and gives the exit code.
// In the library, in one batch with the commands' options: CLI11 is compiled once.
int CliMain(int argc, char** argv);
