#include "tools/cli/JobOptions.h"

#include <cstring>
#include <map>
#include <string_view>

#include "archive/PostgresLocation.h"
#include "data/Errors.h"
#include "session/ApplicationSettings.h"
#include "tools/cli/ConvertOptions.h"
#include "tools/cli/ImportOptions.h"
#include "tools/common/CommandLine.h"

const char* const JobUsage =
    "usage: meridax-cli job new NAME [--customer T] [--site T] [--contractor T] [--notes T]\n"
    "                           [--budget FILE] [--logo FILE]\n"
    "       meridax-cli job add NAME INPUT... [--direction a-b|b-a] [--operator T] [--meter T]\n"
    "                           [--date YYYY-MM-DD] [--cables GLOB]\n"
    "       meridax-cli job add NAME --port PATH [--baud N] [--direction a-b|b-a]\n"
    "                           [--operator T] [--date YYYY-MM-DD] [--cables GLOB]\n"
    "       meridax-cli job list\n"
    "       meridax-cli job show NAME\n"
    "       meridax-cli job set NAME [--customer T] [--site T] [--contractor T] [--notes T]\n"
    "                           [--budget FILE] [--logo FILE] [--cable C --fibers N]...\n"
    "       meridax-cli job void NAME DOWNLOAD --reason T\n"
    "       meridax-cli job unvoid NAME DOWNLOAD\n"
    "       meridax-cli job fix NAME DOWNLOAD [--direction a-b|b-a|none] [--date YYYY-MM-DD]\n"
    "                           [--operator T]\n"
    "       meridax-cli job report NAME --to OUTPUT\n"
    "       meridax-cli job export NAME --to FILE.json\n"
    "       meridax-cli job import FILE.json\n"
    "       meridax-cli job sync NAME --with FILE|URI\n"
    "Every job command takes --archive FILE|URI. DOWNLOAD is a download's number in this\n"
    "archive (job show) or the first 6 or more hex digits of its hash, the same everywhere.\n";

namespace {

const char* const JobHelp =
    "job: keeps the downloads of a job (a building, a route) in one archive and gives their\n"
    "results: the current reading of every cable, fibre and wavelength (a later different\n"
    "reading is a re-test, an equal one a repeat), A->B and B->A readings paired.\n"
    "  --archive FILE|URI  the archive: an SQLite file or a postgresql:// URI (default\n"
    "                      $MERIDAX_ARCHIVE, else $XDG_DATA_HOME/meridax/archive.sqlite)\n"
    "See meridax-cli job COMMAND --help.\n";

struct TJobCommand {
    const char* Name;
    TJobAction Action;
    const char* Usage;
    const char* Help;
};

const TJobCommand JobCommands[] = {
    {"new", TJobAction::New,
     "usage: meridax-cli job new NAME [--customer T] [--site T] [--contractor T] [--notes T]\n"
     "                           [--budget FILE] [--logo FILE] [--archive FILE|URI]\n",
     "job new: makes the job NAME with its identity, its loss budget (JSON, see\n"
     "meridax-budget(5)) and its logo (.png or .svg, at most 1 MB).\n"},
    {"add", TJobAction::Add,
     "usage: meridax-cli job add NAME INPUT... [--direction a-b|b-a] [--operator T] [--meter T]\n"
     "                           [--date YYYY-MM-DD] [--cables GLOB] [--archive FILE|URI]\n"
     "       meridax-cli job add NAME --port PATH [--baud N] [--direction a-b|b-a]\n"
     "                           [--operator T] [--date YYYY-MM-DD] [--cables GLOB]\n"
     "                           [--archive FILE|URI]\n",
     "job add: adds each INPUT (a dump or a .mxe measurement file, read as convert reads it)\n"
     "as a download of the job, or the meter's memory read from the serial port PATH (the\n"
     "meter's name becomes the download's meter). Records already in the job (the same\n"
     "memory read twice, a dump and the .mxe made from it) add nothing and say which\n"
     "download holds them.\n"
     "  --direction a-b|b-a  the direction the fibres were tested in (default none)\n"
     "  --operator T         who tested\n"
     "  --meter T            the meter (files only)\n"
     "  --date YYYY-MM-DD    the test date (default today)\n"
     "  --cables GLOB        only the records whose cable matches GLOB (*, ?, [...])\n"
     "  --baud N             line speed of PATH (default 19200)\n"},
    {"list", TJobAction::List, "usage: meridax-cli job list [--archive FILE|URI]\n",
     "job list: the jobs, newest first: name, customer, site, downloads, last added.\n"},
    {"show", TJobAction::Show, "usage: meridax-cli job show NAME [--archive FILE|URI]\n",
     "job show: the job's identity and downloads (void ones with their reason), the counts of\n"
     "current, history (re-tested) and repeated readings and of pairs, the verdict counts,\n"
     "the one-direction readings and, with expected fibre counts, the untested fibres.\n"},
    {"set", TJobAction::Set,
     "usage: meridax-cli job set NAME [--customer T] [--site T] [--contractor T] [--notes T]\n"
     "                           [--budget FILE] [--logo FILE] [--cable C --fibers N]...\n"
     "                           [--archive FILE|URI]\n",
     "job set: changes what is given. A new budget is put in force (the earlier ones are\n"
     "kept); --logo \"\" removes the logo; each --cable C with its --fibers N sets the number\n"
     "of fibres expected in cable C (0 forgets it).\n"},
    {"void", TJobAction::Void,
     "usage: meridax-cli job void NAME DOWNLOAD --reason T [--archive FILE|URI]\n",
     "job void: takes the download out of every result (added to the wrong job, or measured\n"
     "wrongly); it is kept and listed with the reason.\n"},
    {"unvoid", TJobAction::Unvoid,
     "usage: meridax-cli job unvoid NAME DOWNLOAD [--archive FILE|URI]\n",
     "job unvoid: gives the download its part in the results again.\n"},
    {"fix", TJobAction::Fix,
     "usage: meridax-cli job fix NAME DOWNLOAD [--direction a-b|b-a|none] [--date YYYY-MM-DD]\n"
     "                           [--operator T] [--archive FILE|URI]\n",
     "job fix: corrects what was said of a download when it was added: the direction its\n"
     "fibres were tested in, the test date, the operator. The records stay as they are.\n"},
    {"report", TJobAction::Report,
     "usage: meridax-cli job report NAME --to OUTPUT [--title TEXT] [--archive FILE|URI]\n",
     "job report: one row per current reading or pair: Cable, Fiber, WaveLength, A->B, B->A,\n"
     "Average, Limit, Margin, Verdict, Note:\n"
     "  OUTPUT ending in .xlsx  a workbook whose numbers are number cells\n"
     "  OUTPUT ending in .csv   the same as CSV\n"
     "  OUTPUT ending in .pdf   the job's test report (PDF/A-1b): cover, summary, results,\n"
     "                          charts, re-tests and sign-off; --title TEXT sets its title\n"
     "  OUTPUT -                the table and the counts on standard output\n"
     "Exit codes: 0 when no row is FAIL or CHECK, 3 when at least one is, 1 on an error,\n"
     "2 on wrong usage.\n"},
    {"export", TJobAction::Export,
     "usage: meridax-cli job export NAME --to FILE.json [--archive FILE|URI]\n",
     "job export: writes the job, its budgets and every download with its readings as one\n"
     "JSON document (docs/job.schema.json); - for standard output.\n"},
    {"import", TJobAction::Import, "usage: meridax-cli job import FILE.json [--archive FILE|URI]\n",
     "job import: makes the job of the document, or adds to the job of that name the\n"
     "downloads and decisions it lacks. Decisions made without seeing each other are both\n"
     "kept: the later one holds, and job show lists the conflict until the next change.\n"},
    {"sync", TJobAction::Sync,
     "usage: meridax-cli job sync NAME --with FILE|URI [--archive FILE|URI]\n",
     "job sync: exchanges the job with another archive (a laptop's file and the team's\n"
     "database): each gets the downloads and decisions it lacks, so that both then hold the\n"
     "same job. An archive that may only be read only gives. Stopped, it goes on where it\n"
     "was when run again.\n"},
};

const TJobCommand* FindJobCommand(const CLI::App& command) {
    for (const TJobCommand& job : JobCommands) {
        if (command.get_name() == job.Name && command.get_parent() != nullptr &&
            command.get_parent()->get_name() == "job")
            return &job;
    }
    return nullptr;
}

void AddText(CLI::App& command, const char* name, std::optional<std::string>& target) {
    command.add_option_function<std::string>(name,
                                             [&target](const std::string& text) { target = text; });
}

void AddIdentityOptions(CLI::App& command, TJobOptions& options) {
    AddText(command, "--customer", options.Customer);
    AddText(command, "--site", options.Site);
    AddText(command, "--contractor", options.Contractor);
    AddText(command, "--notes", options.Notes);
    AddText(command, "--budget", options.BudgetFile);
    AddText(command, "--logo", options.LogoFile);
}

void CheckLogo(const TJobOptions& options) {
    if (options.LogoFile && !options.LogoFile->empty() &&
        !HasExtension(*options.LogoFile, ".png") && !HasExtension(*options.LogoFile, ".svg"))
        throw CLI::ValidationError("--logo", "wants a .png or .svg file");
}

void AddDateOption(CLI::App& command, std::string& date) {
    command.add_option("--date", date)
        ->check(CLI::Validator(
            [](const std::string& text) -> std::string {
                return IsCalendarDate(text) ? "" : "wants a date YYYY-MM-DD, not '" + text + "'";
            },
            ""));
}

void AddAddOptions(CLI::App& add, TJobOptions& options) {
    add.add_option("INPUT", options.Inputs);
    add.add_option("--port", options.Port);
    add.add_option_function<std::string>(
        "--baud", [&options](const std::string& text) { options.Baud = ParseBaudOption(text); });
    add.add_option_function<std::string>("--direction", [&options](const std::string& text) {
        const std::optional<TDirection> direction = FindDirection(text);
        if (!direction || *direction == TDirection::None)
            throw CLI::ValidationError("--direction", "wants a-b or b-a, not '" + text + "'");
        options.Direction = *direction;
    });
    add.add_option("--operator", options.Operator);
    add.add_option("--meter", options.Meter);
    AddDateOption(add, options.Date);
    add.add_option("--cables", options.CablesGlob);
    add.callback([&add, &options] {
        if (options.Port.empty() == options.Inputs.empty())
            throw CLI::ValidationError("give INPUT files or --port PATH, not both or neither");
        if (!options.Port.empty() && add.count("--meter") > 0)
            throw CLI::ValidationError("--meter applies to files only: the meter names itself");
        if (options.Port.empty() && add.count("--baud") > 0)
            throw CLI::ValidationError("--baud applies to --port only");
    });
}

void AddFixOptions(CLI::App& fix, TJobOptions& options) {
    fix.add_option_function<std::string>("--direction", [&options](const std::string& text) {
        const std::optional<TDirection> direction =
            text == "none" ? std::optional(TDirection::None) : FindDirection(text);
        if (!direction || (text != "none" && *direction == TDirection::None))
            throw CLI::ValidationError("--direction", "wants a-b, b-a or none, not '" + text + "'");
        options.Fix.Direction = *direction;
    });
    AddDateOption(fix, options.Date);
    fix.add_option_function<std::string>(
        "--operator", [&options](const std::string& text) { options.Fix.Operator = text; });
    fix.callback([&options] {
        if (!options.Date.empty())
            options.Fix.TestDate = options.Date;
        if (!options.Fix.Direction && !options.Fix.TestDate && !options.Fix.Operator)
            throw CLI::ValidationError("say what to fix: --direction, --date or --operator");
    });
}

void AddSetOptions(CLI::App& set, TJobOptions& options) {
    AddIdentityOptions(set, options);
    set.add_option("--cable", options.Cables)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    set.add_option("--fibers", options.Fibers)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::Range(0, MaxExpectedFibres));
    set.callback([&options] {
        if (options.Cables.size() != options.Fibers.size())
            throw CLI::ValidationError("each --cable C wants its --fibers N");
        CheckLogo(options);
    });
}

void FinishReportOutput(TJobOptions& options) {
    RefuseDashOutput(options.Output);
    if (options.Output == "-")
        options.OutputKind = TJobReportOutput::Text;
    else if (HasExtension(options.Output, ".xlsx"))
        options.OutputKind = TJobReportOutput::Xlsx;
    else if (HasExtension(options.Output, ".csv"))
        options.OutputKind = TJobReportOutput::Csv;
    else if (HasExtension(options.Output, ".pdf"))
        options.OutputKind = TJobReportOutput::Pdf;
    else
        throw CLI::ValidationError(
            "OUTPUT must end in .xlsx, .csv or .pdf, or be - for standard output");
    if (options.Title && options.OutputKind != TJobReportOutput::Pdf)
        throw CLI::ValidationError("--title applies to .pdf output only");
}

// The options of one job command by what it does.
void AddCommandOptions(CLI::App& command, TJobAction action, TJobOptions& options) {
    switch (action) {
        case TJobAction::New:
            AddIdentityOptions(command, options);
            command.callback([&options] { CheckLogo(options); });
            break;
        case TJobAction::Add:
            AddAddOptions(command, options);
            break;
        case TJobAction::Set:
            AddSetOptions(command, options);
            break;
        case TJobAction::Void:
            command.add_option("--reason", options.Reason)->required();
            break;
        case TJobAction::Fix:
            AddFixOptions(command, options);
            break;
        case TJobAction::Sync:
            command.add_option("--with", options.With)->required();
            break;
        case TJobAction::Report:
            command.add_option("--to", options.Output)->required();
            command.add_option("--title", options.Title);
            command.callback([&options] { FinishReportOutput(options); });
            break;
        case TJobAction::Export:
            command.add_option("--to", options.Output)->required();
            break;
        case TJobAction::Import:
            // Kept for the scripts that gave it: an import now keeps both sides' decisions.
            command.add_flag("--replace", options.Replace)->group("");
            break;
        case TJobAction::List:
        case TJobAction::Show:
        case TJobAction::Unvoid:
            break;
    }
}

// The words before the options: the job's name, the download's number, the document.
void AddPositionals(CLI::App& command, TJobAction action, TJobOptions& options) {
    if (action == TJobAction::List)
        return;
    if (action == TJobAction::Import) {
        command.add_option("FILE", options.Document)->required();
        return;
    }
    command.add_option("NAME", options.Name)->required();
    if (action == TJobAction::Void || action == TJobAction::Unvoid || action == TJobAction::Fix)
        command.add_option("DOWNLOAD", options.Download)->required();
}

}  // namespace

CLI::App& AddJobCommand(CLI::App& app, TJobOptions& options) {
    CLI::App& job = *app.add_subcommand("job");
    SetHelpText(job, std::string(JobUsage) + '\n' + JobHelp);
    job.require_subcommand(1);
    for (const TJobCommand& entry : JobCommands) {
        CLI::App& command = *job.add_subcommand(entry.Name);
        SetHelpText(command, std::string(entry.Usage) + '\n' + entry.Help);
        command.add_option("--archive", options.Archive);
        AddPositionals(command, entry.Action, options);
        AddCommandOptions(command, entry.Action, options);
        command.parse_complete_callback(
            [&options, action = entry.Action] { options.Action = action; });
    }
    return job;
}

const char* JobCommandUsage(const CLI::App& command) {
    if (command.get_name() == "job")
        return JobUsage;
    const TJobCommand* job = FindJobCommand(command);
    return job == nullptr ? nullptr : job->Usage;
}

bool HideArchivePasswords(int argc, char** argv) {
    bool hidden = false;
    for (int i = 1; i < argc; ++i) {
        char* value = argv[i];
        if (std::strcmp(value, "--archive") == 0 && i + 1 < argc)
            value = argv[++i];
        else if (std::strncmp(value, "--archive=", 10) == 0)
            value += 10;
        else
            continue;
        const std::string_view uri(value);
        if (!IsPostgresLocation(uri))
            continue;
        const std::string starred = StarredPostgresLocation(uri);
        hidden = hidden || starred != uri;
        std::memcpy(value, starred.data(), starred.size());
    }
    return hidden;
}
