#include "tools/cli/CliMain.h"

#include <exception>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "MeridaxBuildId.h"
#include "data/Errors.h"
#include "sys/StandardDescriptors.h"
#include "tools/cli/ArchiveCommand.h"
#include "tools/cli/Commands.h"
#include "tools/cli/JobOptions.h"
#include "tools/common/CommandLine.h"
#include "tools/common/VersionText.h"

namespace {

const std::string Usage = std::string(ConvertUsage) +
                          "       meridax-cli report INPUT --budget FILE --to OUTPUT [options]   "
                          "(see meridax-cli report --help)\n"
                          "       meridax-cli import --port PATH --to OUTPUT [options]   (see "
                          "meridax-cli import --help)\n"
                          "       meridax-cli job new|add|list|show|set|void|unvoid|report|export|"
                          "import ...   (see meridax-cli job --help)\n"
                          "       meridax-cli archive backup --to FILE [--archive FILE]\n"
                          "       meridax-cli ports [--all]\n"
                          "       meridax-cli --help | --version\n";
const char* const PortsUsage = "usage: meridax-cli ports [--all]\n";
const char* const PortsHelp =
    "ports: the serial ports that can be opened now, one per line. With --all, every candidate\n"
    "that exists, each with its state: available, busy, permission denied (with how to get\n"
    "the right), not a serial port, or the system's reason it cannot be opened.\n";

// Runs a subcommand; what it throws becomes a message on standard error and exit code 1.
int Run(const std::string& name, const std::function<int()>& command) {
    try {
        return command();
    } catch (const EInOutError& error) {
        std::cerr << "meridax-cli: " << error.Path() << ": " << error.what() << '\n';
    } catch (const std::exception& error) {
        std::cerr << name << ": " << error.what() << '\n';
    }
    return 1;
}

// The first word names the subcommand: one that names none is refused by name (CLI11 would
// only say that a subcommand is required).
bool NamesUnknownSubcommand(const CLI::App& app, int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-')
        return false;
    try {
        app.get_subcommand(argv[1]);
        return false;
    } catch (const CLI::OptionNotFound&) {
    }
    std::cerr << "meridax-cli: unknown subcommand '" << argv[1] << "'\n" << Usage;
    return true;
}

// The same for the job's own commands ("meridax-cli job bogus").
bool NamesUnknownJobCommand(const CLI::App& app, int argc, char** argv) {
    if (argc < 3 || std::string(argv[1]) != "job" || argv[2][0] == '-')
        return false;
    try {
        app.get_subcommand("job")->get_subcommand(argv[2]);
        return false;
    } catch (const CLI::OptionNotFound&) {
    }
    std::cerr << "meridax-cli job: unknown command '" << argv[2] << "'\n" << JobUsage;
    return true;
}

}  // namespace

int CliMain(int argc, char** argv) {
    if (!OpenClosedStandardDescriptors())
        return 1;
    CLI::App app("", "meridax-cli");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_version_flag("--version", VersionText("meridax-cli " + MeridaxVersionAndBuild()));
    app.require_subcommand(1);
    SetHelpText(app, "meridax-cli: the MERIDAX data exporter's command-line tool\n\n" + Usage +
                         '\n' + ConvertHelp);
    TConvertOptions convertOptions;
    TImportOptions importOptions;
    const CLI::App& convert = AddConvertCommand(app, convertOptions);
    const CLI::App& import = AddImportCommand(app, importOptions);
    TReportOptions reportOptions;
    const CLI::App& report = AddReportCommand(app, reportOptions);
    TJobOptions jobOptions;
    const CLI::App& job = AddJobCommand(app, jobOptions);
    TArchiveOptions archiveOptions;
    const CLI::App& archive = AddArchiveCommand(app, archiveOptions);
    CLI::App& ports = *app.add_subcommand("ports");
    SetHelpText(ports, std::string(PortsUsage) + '\n' + PortsHelp);
    bool allPorts = false;
    std::string portsFolder = "/dev";
    ports.add_flag("--all", allPorts);
    // Where the candidates are looked for; for tests.
    ports.add_option("--folder", portsFolder)->group("");
    // "meridax-cli help" as well as --help.
    app.add_subcommand("help")->group("")->parse_complete_callback(
        [] { throw CLI::CallForHelp(); });

    const auto usage = [&](const CLI::App& command) -> std::string {
        if (&command == &convert)
            return ConvertUsage;
        if (&command == &import)
            return ImportUsage;
        if (&command == &report)
            return ReportUsage;
        if (&command == &ports)
            return PortsUsage;
        if (&command == &archive || command.get_parent() == &archive)
            return ArchiveUsage;
        if (const char* jobUsage = JobCommandUsage(command))
            return jobUsage;
        return Usage;
    };
    // The arguments are read from a copy: a password given in --archive is starred out of the
    // command line others see, and the user told how to keep it out of there.
    std::vector<std::string> arguments(argv, argv + argc);
    std::vector<char*> copies;
    for (std::string& argument : arguments)
        copies.push_back(argument.data());
    copies.push_back(nullptr);
    if (HideArchivePasswords(argc, argv))
        std::cerr << "meridax-cli: the password given in --archive could be seen by other users "
                     "of this computer (ps); keep it in ~/.pgpass, in the file named by "
                     "PGPASSFILE, or in PGPASSWORD\n";
    argv = copies.data();
    if (NamesUnknownSubcommand(app, argc, argv) || NamesUnknownJobCommand(app, argc, argv))
        return 2;
    if (const auto exitCode = ParseCommandLine(app, argc, argv, usage))
        return *exitCode;
    if (convert.parsed())
        return Run("meridax-cli", [&] { return RunConvert(convertOptions); });
    if (report.parsed())
        return Run("meridax-cli report", [&] { return RunReport(reportOptions); });
    if (import.parsed())
        return Run("meridax-cli import", [&] { return RunImport(importOptions); });
    if (job.parsed()) {
        // Messages name the job command that failed: "meridax-cli job add: ...".
        const std::string name = "meridax-cli job " + job.get_subcommands().front()->get_name();
        return Run(name, [&] { return RunJob(jobOptions); });
    }
    if (archive.parsed())
        return Run(
            archiveOptions.Upgrade ? "meridax-cli archive upgrade" : "meridax-cli archive backup",
            [&] { return RunArchiveCommand(archiveOptions); });
    return Run("meridax-cli", [&] { return RunPorts(allPorts, portsFolder); });
}
