#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "support/AddressSpace.h"
#include "support/FileBytes.h"
#include "support/Nobody.h"
#include "support/TempFolder.h"
#include "support/Throws.h"
#include "sys/FileErrors.h"
#include "sys/TextFile.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

class TextFileTest : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return folder_.File(name); }

    static void Put(const std::string& path, const std::string& bytes) {
        WriteFileBytes(path, bytes);
    }
    static std::string Bytes(const std::string& path) { return ReadFileBytes(path); }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder_.Path()), fs::directory_iterator()));
    }

    TTempFolder folder_{"meridax-textfile"};
};

struct TReadCase {
    const char* name;
    std::string content;
    std::string line;
};

class ReadTextFileReads : public TextFileTest, public testing::WithParamInterface<TReadCase> {};

TEST_P(ReadTextFileReads, TheFirstLine) {
    Put(Path("f.mxe"), GetParam().content);
    EXPECT_EQ(ReadTextFile(Path("f.mxe")), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadTextFileReads,
    testing::Values(TReadCase{"CrLf", "1@1@1310@-3.52^\r\n", "1@1@1310@-3.52^"},
                    TReadCase{"Lf", "abc\nsecond\n", "abc"}, TReadCase{"NoLineEnd", "abc", "abc"},
                    TReadCase{"Empty", "", ""}, TReadCase{"OnlyCrLf", "\r\n", ""},
                    TReadCase{"EmptyFirstLine", "\r\n1@1@1310@-3.52^\r\n", ""},
                    TReadCase{"LoneCrStays", "a\rb\r\nc", "a\rb"},
                    TReadCase{"RawDump", "1\t1\t1310\t-3.52\n\r1\t2\t1550\t-0.41\n\r",
                              "1\t1\t1310\t-3.52"},
                    TReadCase{"ZeroBytesKept", "a\0b\r\n"s, "a\0b"s}),
    [](const testing::TestParamInfo<TReadCase>& caseInfo) { return caseInfo.param.name; });

TEST_F(TextFileTest, ReadsALongLineAcrossChunks) {
    std::string line;
    for (int i = 0; line.size() < 300000; ++i)
        line += std::to_string(i) + "@1@1310@-3.52^";
    Put(Path("long.mxe"), line + "\r\nrest");
    EXPECT_EQ(ReadTextFile(Path("long.mxe")), line);
    EXPECT_EQ(ReadWholeFile(Path("long.mxe")), line + "\r\nrest");
}

TEST_F(TextFileTest, ReadErrorsCarryTheirMessages) {
    Put(Path("plain"), "x");
    fs::create_directories(Path("sub"));
    const std::pair<std::string, std::string> cases[] = {
        {Path("missing.mxe"), "File not found"},
        {Path("no-folder/missing.mxe"), "Invalid filename"},
        {Path("plain/inside.mxe"), "Invalid filename"},
        {"", "Invalid filename"},
        {Path("sub"), "I/O error 21"},
    };
    for (const auto& one : cases) {
        const std::string& path = one.first;
        EXPECT_EQ(MessageOf<EInOutError>([&] { ReadTextFile(path); }), one.second) << path;
    }
    const auto error = ThrownBy<EInOutError>([&] { ReadTextFile(Path("missing.mxe")); });
    ASSERT_TRUE(error) << "a missing file was read";
    EXPECT_EQ(error->Path(), Path("missing.mxe"));
    EXPECT_EQ(error->code(), std::errc::no_such_file_or_directory);
}

// A whole file larger than the memory the process may take: the message names the file and
// its size instead of the allocator's bare "std::bad_alloc".
TEST_F(TextFileTest, RunningOutOfMemoryNamesTheFileAndItsSize) {
#if defined(MERIDAX_ADDRESS_SANITIZER)
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#else
    Put(Path("huge.txt"), "1\t1\t1310\t-3.52\n\r");
    fs::resize_file(Path("huge.txt"), 4ull << 30);
    const std::string expected =
        "Out of memory while reading \"" + Path("huge.txt") + "\", which holds 4294967296 bytes";
    EXPECT_EXIT(
        {
            if (!CapAddressSpace(256u << 20))
                std::_Exit(3);
            try {
                ReadWholeFile(Path("huge.txt"));
            } catch (const EOutOfMemory& error) {
                std::_Exit(error.what() == expected && error.Path() == Path("huge.txt") &&
                                   error.code() == std::errc::not_enough_memory
                               ? 0
                               : 1);
            } catch (...) {
            }
            std::_Exit(2);
        },
        testing::ExitedWithCode(0), "");
#endif
}

// The first line of a file larger than the memory the process may take is still read.
TEST_F(TextFileTest, TheFirstLineOfAHugeFileIsRead) {
#if defined(MERIDAX_ADDRESS_SANITIZER)
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#else
    Put(Path("huge.mxe"), "1@1@1310@-3.52^\r\n");
    // Sparse: 4 GiB long, nothing on the disk.
    fs::resize_file(Path("huge.mxe"), 4ull << 30);
    EXPECT_EXIT(
        {
            if (!CapAddressSpace(256u << 20))
                std::_Exit(3);
            try {
                std::_Exit(ReadTextFile(Path("huge.mxe")) == "1@1@1310@-3.52^" ? 0 : 1);
            } catch (...) {
                std::_Exit(2);
            }
        },
        testing::ExitedWithCode(0), "");
#endif
}

TEST_F(TextFileTest, TooManyOpenFiles) {
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    Put(Path("f"), "x");
    const int lowestFree = ::dup(0);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    // The same error once with descriptors to spare: UndefinedBehaviorSanitizer's first check
    // of a type's vtable probes memory through a pipe, which the tight limit would refuse.
    EXPECT_EQ(MessageOf<EInOutError>([&] { ReadTextFile(Path("missing")); }), "File not found");
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const std::string message = MessageOf<EInOutError>([&] { ReadTextFile(Path("f")); });
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(message, "Too many open files");
}

TEST_F(TextFileTest, WritesTheTextAndCrLf) {
    WriteTextFile(Path("m.mxe"), "1@1@1310@-3.52^1@2@1550@-0.41@-10^");
    const std::string bytes = Bytes(Path("m.mxe"));
    EXPECT_EQ(bytes, "1@1@1310@-3.52^1@2@1550@-0.41@-10^\r\n");
    EXPECT_EQ(bytes.size(), 36u);
    WriteTextFile(Path("empty.mxe"), "");
    EXPECT_EQ(Bytes(Path("empty.mxe")), "\r\n");
    EXPECT_EQ(EntryCount(), 2u) << "a temporary file was left behind";
}

TEST_F(TextFileTest, ReplacesAnExistingFileKeepingItsMode) {
    Put(Path("m.mxe"), "a much longer old content that must be gone\r\n");
    ::chmod(Path("m.mxe").c_str(), 0640);
    WriteTextFile(Path("m.mxe"), "new");
    EXPECT_EQ(Bytes(Path("m.mxe")), "new\r\n");
    struct stat status {};
    ASSERT_EQ(::stat(Path("m.mxe").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadTextFile(Path("m.mxe")), "new");
}

TEST_F(TextFileTest, ReplacesAnotherUsersFileKeepingItsOwner) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    Put(Path("m.mxe"), "old\r\n");
    ASSERT_EQ(::chown(Path("m.mxe").c_str(), 65534, 65534), 0);
    WriteTextFile(Path("m.mxe"), "new");
    struct stat status {};
    ASSERT_EQ(::stat(Path("m.mxe").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
    EXPECT_EQ(Bytes(Path("m.mxe")), "new\r\n");
}

TEST_F(TextFileTest, WritesThroughALink) {
    Put(Path("real.mxe"), "old\r\n");
    fs::create_symlink(Path("real.mxe"), Path("link.mxe"));
    WriteTextFile(Path("link.mxe"), "new");
    EXPECT_TRUE(fs::is_symlink(Path("link.mxe")));
    EXPECT_EQ(Bytes(Path("real.mxe")), "new\r\n");
}

// A link whose file is not there yet gets it made; a loop of links is refused on its name.
TEST_F(TextFileTest, ADanglingLinkGetsItsFileAndALoopIsRefused) {
    fs::create_symlink("new.mxe", Path("link.mxe"));
    WriteTextFile(Path("link.mxe"), "new");
    EXPECT_TRUE(fs::is_symlink(Path("link.mxe")));
    EXPECT_EQ(Bytes(Path("new.mxe")), "new\r\n");

    fs::create_symlink("loop-b", Path("loop-a"));
    fs::create_symlink("loop-a", Path("loop-b"));
    const auto error = ThrownBy<EInOutError>([&] { WriteTextFile(Path("loop-a"), "new"); });
    ASSERT_TRUE(error) << "a loop of links was written";
    EXPECT_EQ(error->Path(), Path("loop-a"));
    EXPECT_EQ(error->code(), std::errc::too_many_symbolic_link_levels);
    EXPECT_EQ(std::string(error->what()), "I/O error " + std::to_string(ELOOP));
    EXPECT_TRUE(fs::is_symlink(Path("loop-a")));
    EXPECT_EQ(EntryCount(), 4u) << "a temporary file was left behind";
}

TEST_F(TextFileTest, WriteErrorsCarryTheirMessages) {
    fs::create_directories(Path("sub"));
    Put(Path("plain"), "x");
    const std::pair<std::string, std::string> cases[] = {
        {Path("no-folder/m.mxe"), "Invalid filename"},
        {Path("plain/m.mxe"), "Invalid filename"},
        {Path("sub"), "I/O error 21"},
        {"/dev/full", "I/O error 28"},
        {"", "Invalid filename"},
    };
    for (const auto& one : cases) {
        const std::string& path = one.first;
        EXPECT_EQ(MessageOf<EInOutError>([&] { WriteTextFile(path, "1@1@1310@-3.52^"); }),
                  one.second)
            << path;
    }
    EXPECT_EQ(Bytes(Path("plain")), "x");
}

// The messages for a read-only folder and a read-only file; true when both are right and
// both files are unchanged.
bool DeniedAsExpected(const std::string& readOnlyFolder, const std::string& writableFolder) {
    const auto message = [](const std::string& path) {
        return MessageOf<EInOutError>([&] { WriteTextFile(path, "x"); });
    };
    return message(readOnlyFolder + "/new.mxe") == "File access denied" &&
           message(readOnlyFolder + "/m.mxe") == "File access denied" &&
           message(writableFolder + "/r.mxe") == "File access denied" &&
           !fs::exists(readOnlyFolder + "/new.mxe");
}

TEST_F(TextFileTest, ReadOnlyFolderAndFileAreDenied) {
    fs::create_directories(Path("ro"));
    fs::create_directories(Path("rw"));
    Put(Path("ro/m.mxe"), "old\r\n");
    Put(Path("rw/r.mxe"), "old\r\n");
    ::chmod(Path("ro/m.mxe").c_str(), 0444);
    ::chmod(Path("rw/r.mxe").c_str(), 0444);
    ::chmod(Path("ro").c_str(), 0555);
    ::chmod(Path("rw").c_str(), 0777);
    ::chmod(folder_.Path().c_str(), 0755);
    if (::geteuid() != 0) {
        EXPECT_TRUE(DeniedAsExpected(Path("ro"), Path("rw")));
    } else if (const auto why = WhyNobodyCannotUse(folder_.Path(), X_OK)) {
        GTEST_SKIP() << *why;
    } else {
        // Permission bits do not stop root: the check runs in a child that gave up root.
        EXPECT_EXIT(
            {
                if (!BecomeNobody())
                    std::_Exit(3);
                std::_Exit(DeniedAsExpected(Path("ro"), Path("rw")) ? 0 : 1);
            },
            testing::ExitedWithCode(0), "");
    }
    EXPECT_EQ(Bytes(Path("ro/m.mxe")), "old\r\n");
    EXPECT_EQ(Bytes(Path("rw/r.mxe")), "old\r\n");
}

// The temporary file's name must fit even when the target's name takes all 255 bytes.
TEST_F(TextFileTest, TheLongestNameIsWritten) {
    const std::string name = std::string(251, 'n') + ".mxe";
    WriteTextFile(Path(name), "1@1@1310@-3.52^");
    EXPECT_EQ(Bytes(Path(name)), "1@1@1310@-3.52^\r\n");
    WriteTextFile(Path(name), "");
    EXPECT_EQ(Bytes(Path(name)), "\r\n");
    EXPECT_EQ(EntryCount(), 1u) << "a temporary file was left behind";
}

// A folder without write right still lets its writable files be rewritten, though not
// replaced; true when the file got the new text.
bool WrittenInPlace(const std::string& path) {
    return !ThrownBy<EInOutError>([&] { WriteTextFile(path, "new"); }) &&
           ReadFileBytes(path) == "new\r\n";
}

TEST_F(TextFileTest, AWritableFileInAReadOnlyFolderIsRewritten) {
    fs::create_directories(Path("ro"));
    Put(Path("ro/m.mxe"), "old content\r\n");
    ::chmod(Path("ro/m.mxe").c_str(), 0666);
    ::chmod(Path("ro").c_str(), 0555);
    ::chmod(folder_.Path().c_str(), 0755);
    if (::geteuid() != 0) {
        EXPECT_TRUE(WrittenInPlace(Path("ro/m.mxe")));
    } else if (const auto why = WhyNobodyCannotUse(folder_.Path(), X_OK)) {
        GTEST_SKIP() << *why;
    } else {
        EXPECT_EXIT(
            {
                if (!BecomeNobody())
                    std::_Exit(3);
                std::_Exit(WrittenInPlace(Path("ro/m.mxe")) ? 0 : 1);
            },
            testing::ExitedWithCode(0), "");
    }
    EXPECT_EQ(Bytes(Path("ro/m.mxe")), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("ro")), fs::directory_iterator()), 1);
}

TEST_F(TextFileTest, FailureHalfWayKeepsTheOldFile) {
    // A file size limit makes the write fail after the temporary file was created.
    const std::string old = "1@1@1310@-3.52^\r\n";
    Put(Path("m.mxe"), old);
    const std::string big(1 << 20, 'x');
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = 4096;
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const std::string message = MessageOf<EInOutError>([&] { WriteTextFile(Path("m.mxe"), big); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(message, "I/O error " + std::to_string(EFBIG));
    EXPECT_EQ(Bytes(Path("m.mxe")), old);
    EXPECT_EQ(EntryCount(), 1u) << "the temporary file was left behind";
}

}  // namespace
