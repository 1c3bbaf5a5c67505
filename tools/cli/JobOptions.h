#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/Archive.h"
#include "jobs/JobLimits.h"  // IsCalendarDate, MaxExpectedFibres
#include "jobs/JobTypes.h"

namespace CLI {
class App;
}

enum class TJobAction {
    New,
    Add,
    List,
    Show,
    Set,
    Void,
    Unvoid,
    Fix,
    Report,
    Export,
    Import,
    Sync
};

enum class TJobReportOutput { Xlsx, Csv, Pdf, Text };

// The words of one `meridax-cli job ...` command line.
struct TJobOptions {
    TJobAction Action = TJobAction::List;
    std::string Archive;  // --archive; empty: the default archive
    std::string Name;
    // new and set: what is given changes, what is absent stays.
    std::optional<std::string> Customer;
    std::optional<std::string> Site;
    std::optional<std::string> Contractor;
    std::optional<std::string> Notes;
    std::optional<std::string> BudgetFile;
    std::optional<std::string> LogoFile;
    std::vector<std::string> Cables;  // --cable, each with the --fibers of the same place
    std::vector<int> Fibers;
    // add
    std::vector<std::string> Inputs;
    std::string Port;
    std::uint32_t Baud = 19200;
    TDirection Direction = TDirection::None;
    std::string Operator;
    std::string Meter;
    std::string Date;  // YYYY-MM-DD, checked; empty: today
    std::string CablesGlob;
    // void, unvoid and fix: the download's number here or a prefix of its hash
    std::string Download;
    std::string Reason;
    TDownloadFix Fix;
    // sync: the other archive
    std::string With;
    // report and export: the file, or "-" for standard output
    std::string Output;
    TJobReportOutput OutputKind = TJobReportOutput::Text;
    std::optional<std::string> Title;  // the PDF's; none: the report's own
    // import
    std::string Document;
    bool Replace = false;
};

extern const char* const JobUsage;

// Adds the job subcommand and its own subcommands to app, read into options.
CLI::App& AddJobCommand(CLI::App& app, TJobOptions& options);

// The usage of command when it is job or one of its subcommands; nullptr otherwise.
const char* JobCommandUsage(const CLI::App& command);

// Stars out, in place, every password of a postgresql:// URI given to --archive, so that other
// users do not see it in the program's command line (ps); true when there was one. The caller
// reads the arguments from a copy made before.
bool HideArchivePasswords(int argc, char** argv);
