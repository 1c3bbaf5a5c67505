#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "support/Throws.h"
#include "sys/FileReplacement.h"

namespace fs = std::filesystem;

namespace {

struct TFailed {
    std::error_code code;
    TReplaceFailure failure;
    std::string target;
};

struct TCall {
    std::string writePath;
    std::string target;
};

class FileReplacementTest : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return folder_.File(name); }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Writes bytes wherever it is asked to and records each call.
    void Replace(const std::string& path, const std::string& bytes, TReplaceHooks hooks = {}) {
        hooks.fail = [](const std::error_code& code, TReplaceFailure failure,
                        const std::string& target) {
            throw TFailed{code, failure, target};
        };
        ReplaceFileSafely(
            path,
            [&](const std::string& writePath, const std::string& target) {
                calls_.push_back({writePath, target});
                WriteFileBytes(writePath, bytes);
            },
            hooks);
    }

    TTempFolder folder_{"meridax-replacement"};
    std::vector<TCall> calls_;
};

TEST_F(FileReplacementTest, AnExistingFileIsReplacedFromBesideItAndKeepsItsMode) {
    // A name near the 255-byte limit still leaves room for the temporary one.
    const std::string name(250, 'n');
    WriteFileBytes(Path(name), "old");
    ASSERT_EQ(::chmod(Path(name).c_str(), 04751), 0);
    struct stat before {};
    ASSERT_EQ(::stat(Path(name).c_str(), &before), 0);

    Replace(Path(name), "new");

    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].target, Path(name));
    EXPECT_NE(calls_[0].writePath, Path(name));
    EXPECT_EQ(fs::path(calls_[0].writePath).parent_path(), fs::path(folder_.Path()));
    EXPECT_EQ(ReadFileBytes(Path(name)), "new");
    struct stat after {};
    ASSERT_EQ(::stat(Path(name).c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 04751u);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(Entries(), std::vector<std::string>{name});
}

// A failed write leaves the folder as it was: the old file's bytes, no new file, no
// temporary one.
TEST_F(FileReplacementTest, AFailedWriteLeavesNothingBehind) {
    for (const bool exists : {false, true}) {
        SCOPED_TRACE(exists);
        fs::remove(Path("out"));
        if (exists)
            WriteFileBytes(Path("out"), "old");
        const std::vector<std::string> before = Entries();
        TReplaceHooks hooks;
        hooks.fail = [](const std::error_code&, TReplaceFailure, const std::string&) { FAIL(); };
        EXPECT_THROW(ReplaceFileSafely(
                         Path("out"),
                         [](const std::string& writePath, const std::string&) {
                             WriteFileBytes(writePath, "half");
                             throw std::runtime_error("disk full");
                         },
                         hooks),
                     std::runtime_error);
        EXPECT_EQ(Entries(), before);
        if (exists) {
            EXPECT_EQ(ReadFileBytes(Path("out")), "old");
        }
    }
}

TEST_F(FileReplacementTest, ThroughALinkTheFileItPointsAtIsReplaced) {
    fs::create_directories(Path("real"));
    WriteFileBytes(Path("real/out"), "old");
    fs::create_symlink(Path("real/out"), Path("link"));

    Replace(Path("link"), "new");

    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].target, fs::canonical(Path("real/out")).string());
    EXPECT_TRUE(fs::is_symlink(Path("link")));
    EXPECT_EQ(ReadFileBytes(Path("real/out")), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("real")), fs::directory_iterator()), 1);
}

// A dangling link, relative and through a second link, gets the file it names made where it
// points; the links stay.
TEST_F(FileReplacementTest, ADanglingLinkGetsTheFileItNames) {
    fs::create_directories(Path("real"));
    fs::create_symlink("real/hop", Path("link"));
    fs::create_symlink("out", Path("real/hop"));

    Replace(Path("link"), "new");

    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].target, fs::canonical(Path("real")).string() + "/out");
    EXPECT_TRUE(fs::is_symlink(Path("link")));
    EXPECT_TRUE(fs::is_symlink(Path("real/hop")));
    EXPECT_EQ(ReadFileBytes(Path("real/out")), "new");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"link", "real"}));
}

// A pipe, and a file the caller's vetting keeps, is written where it is.
TEST_F(FileReplacementTest, WhatCannotOrMayNotBeReplacedIsWrittenInPlace) {
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    TReplaceHooks hooks;
    int vetted = 0;
    hooks.vetExisting = [&](const std::string&) {
        ++vetted;
        return true;
    };
    // The pipe has no reader: only the calls are recorded, nothing is opened.
    hooks.fail = [](const std::error_code&, TReplaceFailure, const std::string&) { FAIL(); };
    const auto record = [&](const std::string& writePath, const std::string& target) {
        calls_.push_back({writePath, target});
    };
    ReplaceFileSafely(Path("pipe"), record, hooks);
    EXPECT_EQ(vetted, 0);
    WriteFileBytes(Path("kept"), "old");
    ReplaceFileSafely(Path("kept"), record, hooks);
    EXPECT_EQ(vetted, 1);

    ASSERT_EQ(calls_.size(), 2u);
    EXPECT_EQ(calls_[0].writePath, Path("pipe"));
    EXPECT_EQ(calls_[0].target, Path("pipe"));
    EXPECT_EQ(calls_[1].writePath, Path("kept"));
    EXPECT_EQ(calls_[1].target, Path("kept"));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"kept", "pipe"}));
}

TEST_F(FileReplacementTest, FailuresReachTheCallersHookWithTheirStep) {
    fs::create_directories(Path("folder"));
    fs::create_symlink("loop", Path("loop"));
    struct TCase {
        std::string path;
        std::errc code;
        TReplaceFailure failure;
    };
    const TCase cases[] = {
        {Path("folder"), std::errc::is_a_directory, TReplaceFailure::Open},
        {Path("missing/out"), std::errc::no_such_file_or_directory, TReplaceFailure::Create},
        {Path("loop"), std::errc::too_many_symbolic_link_levels, TReplaceFailure::Open},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.path);
        const auto failed = ThrownBy<TFailed>([&] { Replace(test.path, "new"); });
        if (!failed) {
            ADD_FAILURE() << "no failure";
            continue;
        }
        EXPECT_EQ(failed->code, test.code);
        EXPECT_EQ(failed->failure, test.failure);
        EXPECT_EQ(failed->target, test.path);
    }
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder", "loop"}));
}

}  // namespace
