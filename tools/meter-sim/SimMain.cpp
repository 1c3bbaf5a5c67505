#include "tools/meter-sim/SimMain.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "MeridaxBuildId.h"
#include "sys/StandardDescriptors.h"
#include "tools/common/CommandLine.h"
#include "tools/common/VersionText.h"
#include "tools/meter-sim/DemoBudget.h"
#include "tools/meter-sim/MeterDump.h"
#include "tools/meter-sim/MeterServer.h"
#include "tools/meter-sim/SimOptions.h"

namespace {

// A symbolic link to the port that goes away with the program, if it still points there.
class TPortLink {
public:
    // Refuses a link that exists and is not dangling.
    TPortLink(std::string link, const std::string& target)
        : link_(std::move(link)), target_(target) {
        if (link_.empty()) {
            return;
        }
        char existing[4096];
        const ssize_t length = ::readlink(link_.c_str(), existing, sizeof existing - 1);
        if (length >= 0) {
            // A link whose port still exists may be another stand-in's, still serving; only
            // a dangling one (its stand-in gone, and its port with it) is taken over.
            struct stat port {};
            if (::stat(link_.c_str(), &port) == 0) {
                throw std::runtime_error(
                    link_ + " already links to " +
                    std::string(existing, static_cast<std::size_t>(length)) +
                    ", which may be another running stand-in's port; stop that one or remove "
                    "the link");
            }
            ::unlink(link_.c_str());
        }
        if (::symlink(target.c_str(), link_.c_str()) != 0) {
            throw std::system_error(errno, std::generic_category(),
                                    "cannot link " + link_ + " to " + target);
        }
    }
    ~TPortLink() {
        if (link_.empty()) {
            return;
        }
        char existing[4096];
        const ssize_t length = ::readlink(link_.c_str(), existing, sizeof existing);
        if (length >= 0 && std::string(existing, static_cast<std::size_t>(length)) == target_) {
            ::unlink(link_.c_str());
        }
    }
    TPortLink(const TPortLink&) = delete;
    TPortLink& operator=(const TPortLink&) = delete;

private:
    std::string link_;
    std::string target_;
};

}  // namespace

int MeterSimMain(int argc, char** argv) {
    if (!OpenClosedStandardDescriptors())
        return 1;
    CLI::App app("", "meridax-meter-sim");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_version_flag("--version", VersionText("meridax-meter-sim " + MeridaxVersionAndBuild()));
    TSimOptions options;
    AddSimOptions(app, options);
    if (const auto exitCode = ParseCommandLine(
            app, argc, argv, [](const CLI::App&) { return "Try 'meridax-meter-sim --help'.\n"; }))
        return *exitCode;
    try {
        TMeterRecords records = options.DumpFile.empty()
                                    ? GenerateRecords(options.Records, options.Seed)
                                    : LoadRecords(options.DumpFile);
        if (options.Fault == TSimFault::BadNumber) {
            SpoilOneNumber(records);
        }
        std::string reply = DumpReply(records);
        if (!options.BudgetDemo.empty())
            WriteBudgetFile(DemoBudget(), options.BudgetDemo);
        if (!options.SaveDump.empty()) {
            std::ofstream file(options.SaveDump, std::ios::binary | std::ios::trunc);
            file << reply;
            if (!file.flush()) {
                throw std::runtime_error("cannot write " + options.SaveDump);
            }
        }
        if (!options.BudgetDemo.empty() || !options.SaveDump.empty())
            return 0;
        TMeterServer server(options, std::move(reply));
        TPortLink link(options.Link, server.PortPath());
        std::cout << server.PortPath() << std::endl;
        server.Run();
    } catch (const std::exception& error) {
        std::cerr << "meridax-meter-sim: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
