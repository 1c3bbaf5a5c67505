#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "comm/ComPort.h"
#include "comm/EnumComPorts.h"
#include "comm/Synchronizer.h"
#include "support/PseudoTerminal.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "sys/UniqueFd.h"

namespace {

namespace fs = std::filesystem;

// Candidates are symbolic links to pseudo-terminals in a private folder (stat follows them).
class EnumComPortsTest : public testing::Test {
protected:
    std::string Link(const std::string& name, const std::string& target) {
        const std::string link = folder_.File(name);
        fs::create_symlink(target, link);
        return link;
    }

    TTempFolder folder_{"meridax-enum"};
};

TEST_F(EnumComPortsTest, ListsOnlyFreeTerminalsInCandidateOrderAfterExistingEntries) {
    TPseudoTerminal first, held, ownPort, last;
    const std::string regular = folder_.File("ttyRegular");
    std::ofstream(regular) << "not a device";
    const std::vector<std::string> candidates{
        Link("ttyV0", first.SlavePath()),
        folder_.File("ttyV1"),  // missing
        regular,
        "/dev/null",  // a character device, but no terminal
        Link("ttyV4", held.SlavePath()),
        Link("ttyV5", ownPort.SlavePath()),
        Link("ttyV6", last.SlavePath()),
    };
    TUniqueFd holder(::open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.Get(), LOCK_EX | LOCK_NB), 0);
    TSynchronizer sync;
    TComPort port(sync);
    port.Port = candidates[5];
    port.Open();

    std::vector<std::string> list{"already there"};
    EnumComPorts(&list, candidates);
    EXPECT_EQ(list, (std::vector<std::string>{"already there", candidates[0], candidates[6]}));

    // Released ports are listed again, and the names open unchanged.
    port.Close();
    holder.Reset();
    list.clear();
    EnumComPorts(&list, candidates);
    EXPECT_EQ(list, (std::vector<std::string>{candidates[0], candidates[4], candidates[5],
                                              candidates[6]}));
    port.Port = list[1];
    port.Open();
    EXPECT_TRUE(port.Opened());
}

TEST_F(EnumComPortsTest, AbsentListAndNoFreePortChangeNothing) {
    TPseudoTerminal pty;
    const std::vector<std::string> candidates{Link("ttyV0", pty.SlavePath())};
    EnumComPorts(nullptr, candidates);
    EnumComPorts(nullptr);
    std::vector<std::string> list{"a", "b"};
    EnumComPorts(&list, {folder_.File("ttyV9"), "/dev/null"});
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
}

TEST(EnumComPortsCandidates, FamiliesInOrderEachFrom0To255) {
    const std::vector<std::string> candidates = DefaultComPortCandidates();
    ASSERT_EQ(candidates.size(), 1536u);
    const char* families[] = {"/dev/ttyS",   "/dev/ttyUSB", "/dev/ttyACM",
                              "/dev/ttyAMA", "/dev/rfcomm", "/dev/ttyV"};
    for (std::size_t family = 0; family < 6; ++family) {
        for (std::size_t number = 0; number < 256; ++number) {
            ASSERT_EQ(candidates[family * 256 + number], families[family] + std::to_string(number));
        }
    }
}

// The scan over a folder of links to pseudo-terminals, made out of order: families in their
// order, numbers counted (ttyUSB2 before ttyUSB10), a held port left out.
TEST_F(EnumComPortsTest, FolderScanGivesFamiliesThenNumbersInOrder) {
    TPseudoTerminal ptys[7];
    const char* names[] = {"ttyV0",   "ttyUSB10", "rfcomm3", "ttyS255",
                           "ttyUSB2", "ttyACM0",  "ttyAMA7"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        Link(names[i], ptys[i].SlavePath());
    }
    std::ofstream(folder_.File("ttyACM1")) << "not a device";
    TUniqueFd holder(::open(ptys[5].SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.Get(), LOCK_EX | LOCK_NB), 0);

    std::vector<std::string> list;
    EnumComPorts(&list, DefaultComPortCandidates(folder_.Path()));
    std::vector<std::string> expected;
    for (const char* name : {"ttyS255", "ttyUSB2", "ttyUSB10", "ttyAMA7", "rfcomm3", "ttyV0"}) {
        expected.push_back(folder_.File(name));
    }
    EXPECT_EQ(list, expected);
}

}  // namespace

namespace {

TEST(DeviceAccessTest, NamesOwnerGroupAndWhetherTheGroupMayUseIt) {
    const TTempFolder folder("meridax-access");
    const std::string file = folder.File("device");
    std::ofstream(file) << "x";
    const std::string user = ::getpwuid(::geteuid())->pw_name;
    const std::string group = ::getgrgid(::getegid())->gr_name;
    struct TModeCase {
        mode_t Mode;
        bool GroupMayUse;
    };
    for (const TModeCase c : {TModeCase{0660, true}, TModeCase{0600, false}, TModeCase{0620, false},
                              TModeCase{0640, false}, TModeCase{0666, true}}) {
        ASSERT_EQ(::chmod(file.c_str(), c.Mode), 0);
        const TDeviceAccess access = DeviceAccess(file);
        EXPECT_TRUE(access.Known);
        EXPECT_EQ(access.Owner, user);
        EXPECT_EQ(access.Group, group);
        EXPECT_EQ(access.Mode, static_cast<unsigned>(c.Mode));
        EXPECT_EQ(access.GroupMayUse, c.GroupMayUse) << std::oct << c.Mode;
    }
    EXPECT_FALSE(DeviceAccess(folder.File("missing")).Known);
}

// A terminal nobody may not open is reported with the access that tells why: a
// pseudo-terminal of root's belongs to the group tty, which may only write to it.
TEST(DeviceAccessTest, RefusedPortCarriesItsAccess) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to try a terminal as another user";
    }
    TPseudoTerminal pty;
    struct stat info {};
    ASSERT_EQ(::stat(pty.SlavePath().c_str(), &info), 0);
    if ((info.st_mode & S_IRGRP) != 0 || (info.st_mode & S_IROTH) != 0) {
        GTEST_SKIP() << "pseudo-terminals here are readable by others";
    }
    const std::string group =
        ::getgrgid(info.st_gid) ? ::getgrgid(info.st_gid)->gr_name : std::to_string(info.st_gid);
    TSubprocessOptions asNobody;
    asNobody.AsNobody = true;
    const int code = RunInChild(
        [&] {
            const std::optional<TPortCandidate> probed = ProbeComPort(pty.SlavePath());
            if (!probed || probed->State != TPortState::PermissionDenied)
                return 11;
            const TDeviceAccess& access = probed->Access;
            if (!access.Known || access.Owner != "root" || access.Group != group ||
                access.Mode != (info.st_mode & 07777) || access.GroupMayUse)
                return 12;
            return 0;
        },
        asNobody);
    EXPECT_EQ(code, 0) << "11 state, 12 access, " << SubprocessCannotBecomeNobody
                       << " cannot become nobody";
}

}  // namespace
