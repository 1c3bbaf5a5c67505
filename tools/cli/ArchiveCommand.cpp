#include "tools/cli/ArchiveCommand.h"

#include <unistd.h>

#include <iostream>

#include "archive/Archive.h"
#include "archive/PostgresArchive.h"
#include "archive/PostgresLocation.h"
#include "tools/cli/StopSignalWatch.h"
#include "tools/common/CommandLine.h"

const char* const ArchiveUsage =
    "usage: meridax-cli archive backup --to FILE [--archive FILE]\n"
    "       meridax-cli archive upgrade [--archive FILE|URI]\n";

namespace {

const char* const BackupUsage = "usage: meridax-cli archive backup --to FILE [--archive FILE]\n";
const char* const UpgradeUsage = "usage: meridax-cli archive upgrade [--archive FILE|URI]\n";

const char* const BackupHelp =
    "archive backup: writes a copy of the archive as it is at one moment, every job, download\n"
    "and void in it, to FILE, a file of its own that works as an archive (--archive FILE).\n"
    "Copy an archive only this way: a copy of its file made by other means while meridax\n"
    "writes it may lack the latest changes, which its log still holds. An existing FILE is\n"
    "replaced once the copy is whole; an archive is never replaced.\n"
    "  --archive FILE  the archive (default $MERIDAX_ARCHIVE, else\n"
    "                  $XDG_DATA_HOME/meridax/archive.sqlite); a PostgreSQL archive is copied\n"
    "                  with the server's own tools (pg_dump)\n";

const char* const UpgradeHelp =
    "archive upgrade: brings an archive made by an earlier version of meridax up to this\n"
    "version, in one transaction that is undone if any job would read differently after it.\n"
    "An archive file upgrades itself when it is first opened, after writing a copy of itself\n"
    "beside it; a PostgreSQL archive is shared by a team and upgrades only by this command\n"
    "(take a pg_dump of it first).\n"
    "  --archive FILE|URI  the archive (default $MERIDAX_ARCHIVE, else\n"
    "                      $XDG_DATA_HOME/meridax/archive.sqlite)\n";

}  // namespace

CLI::App& AddArchiveCommand(CLI::App& app, TArchiveOptions& options) {
    CLI::App& archive = *app.add_subcommand("archive");
    SetHelpText(archive, std::string(ArchiveUsage) + '\n' + BackupHelp + UpgradeHelp);
    archive.require_subcommand(1);
    CLI::App& backup = *archive.add_subcommand("backup");
    SetHelpText(backup, std::string(BackupUsage) + '\n' + BackupHelp);
    backup.add_option("--to", options.Output)->required();
    backup.add_option("--archive", options.Archive);
    CLI::App& upgrade = *archive.add_subcommand("upgrade");
    SetHelpText(upgrade, std::string(UpgradeUsage) + '\n' + UpgradeHelp);
    upgrade.add_option("--archive", options.Archive);
    upgrade.parse_complete_callback([&options] { options.Upgrade = true; });
    return archive;
}

namespace {

int RunArchiveUpgrade(const TArchiveOptions& options) {
    const std::string location = ArchiveLocation(options.Archive);
    if (IsPostgresLocation(location)) {
        const bool terminal = ::isatty(STDERR_FILENO) == 1;
        UpgradePostgresArchiveAt(location, [terminal](std::size_t done, std::size_t of) {
            if (!terminal)
                return;
            std::cerr << "\rjobs upgraded: " << done << " of " << of << std::flush;
            if (done == of)
                std::cerr << '\n';
        });
        std::cout << "the archive " << ShownLocation(location) << " is up to date\n";
        return 0;
    }
    const std::unique_ptr<TArchive> archive = OpenArchive(location, TArchiveCreation::MustExist);
    const std::string notice = archive->OpenNotice();
    std::cout << (notice.empty() ? "the archive " + archive->Location() + " is up to date" : notice)
              << '\n';
    return 0;
}

int RunArchiveBackup(const TArchiveOptions& options) {
    const std::unique_ptr<TArchive> archive =
        OpenArchive(ArchiveLocation(options.Archive), TArchiveCreation::MustExist);
    // A copy cut short leaves no hidden temporary file beside FILE.
    const TStopSignalWatch stopSignals("meridax-cli archive backup: interrupted\n");
    archive->SaveCopy(options.Output);
    std::cout << "copied the archive " << archive->Location() << " to " << options.Output << '\n';
    return 0;
}

}  // namespace

int RunArchiveCommand(const TArchiveOptions& options) {
    return options.Upgrade ? RunArchiveUpgrade(options) : RunArchiveBackup(options);
}
