#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/Subprocess.h"
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

    // Runs meridax-cli with args, standard input from stdinFile (or /dev/null); standard output
    // and error go through files in the test's folder (or stdoutFile).
    TRun Run(const std::vector<std::string>& args, const std::string& stdinFile = "/dev/null",
             const std::string& stdoutFile = "", TSubprocessOptions options = {}) {
        std::vector<std::string> argv{MERIDAX_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        options.InputPath = stdinFile;
        options.OutputPath = stdoutFile.empty() ? Path("stdout") : stdoutFile;
        options.ErrorPath = Path("stderr");
        const TRunResult result = RunToEnd(argv, options);
        TRun run{result.TermSignal == 0 ? result.ExitCode : -1, "", Read(Path("stderr"))};
        if (stdoutFile.empty())
            run.out = Read(options.OutputPath);
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
