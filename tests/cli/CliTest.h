#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/TempFolder.h"

struct TRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs the built meridax-cli in a fresh folder per test.
class CliTest : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return folder_.File(name); }

    static std::string Quote(const std::string& word) {
        std::string quoted = "'";
        for (const char c : word)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }

    // Runs meridax-cli with args, standard input from stdinFile (or /dev/null).
    TRun Run(const std::vector<std::string>& args, const std::string& stdinFile = "/dev/null",
             const std::string& stdoutFile = "") {
        std::string command = Quote(MERIDAX_CLI_PATH);
        for (const auto& arg : args)
            command += " " + Quote(arg);
        const std::string out = stdoutFile.empty() ? Path("stdout") : stdoutFile;
        command += " < " + Quote(stdinFile) + " > " + Quote(out) + " 2> " + Quote(Path("stderr"));
        const int status = std::system(command.c_str());
        TRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", Read(Path("stderr"))};
        if (stdoutFile.empty())
            run.out = Read(out);
        return run;
    }

    static std::string Read(const std::string& path) { return ReadFileBytes(path); }
    static void Put(const std::string& path, const std::string& bytes) {
        WriteFileBytes(path, bytes);
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TTempFolder folder_{"meridax-cli"};
};
