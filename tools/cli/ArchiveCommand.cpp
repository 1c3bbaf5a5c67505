#include "tools/cli/ArchiveCommand.h"

#include <iostream>

#include "archive/Archive.h"
#include "tools/cli/StopSignalWatch.h"
#include "tools/common/CommandLine.h"

const char* const ArchiveUsage = "usage: meridax-cli archive backup --to FILE [--archive FILE]\n";

namespace {

const char* const ArchiveHelp =
    "archive backup: writes a copy of the archive as it is at one moment, every job, download\n"
    "and void in it, to FILE, a file of its own that works as an archive (--archive FILE).\n"
    "Copy an archive only this way: a copy of its file made by other means while meridax\n"
    "writes it may lack the latest changes, which its log still holds. An existing FILE is\n"
    "replaced once the copy is whole; an archive is never replaced.\n"
    "  --archive FILE  the archive (default $MERIDAX_ARCHIVE, else\n"
    "                  $XDG_DATA_HOME/meridax/archive.sqlite); a PostgreSQL archive is copied\n"
    "                  with the server's own tools (pg_dump)\n";

}  // namespace

CLI::App& AddArchiveCommand(CLI::App& app, TArchiveOptions& options) {
    CLI::App& archive = *app.add_subcommand("archive");
    SetHelpText(archive, std::string(ArchiveUsage) + '\n' + ArchiveHelp);
    archive.require_subcommand(1);
    CLI::App& backup = *archive.add_subcommand("backup");
    SetHelpText(backup, std::string(ArchiveUsage) + '\n' + ArchiveHelp);
    backup.add_option("--to", options.Output)->required();
    backup.add_option("--archive", options.Archive);
    return archive;
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
