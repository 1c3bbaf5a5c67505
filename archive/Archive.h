#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jobs/ArchiveErrors.h"
#include "jobs/JobEvent.h"
#include "jobs/JobState.h"
#include "jobs/JobTypes.h"

// Changes to a job's own facts; what is absent stays as it is. A budget given is added to the
// job's budgets (the old ones are kept), in force from now.
struct TJobChanges {
    std::optional<std::string> Customer;
    std::optional<std::string> Site;
    std::optional<std::string> Contractor;
    std::optional<std::string> Notes;
    std::optional<std::string> BudgetJson;
    std::optional<std::string> Logo;            // bytes; "" removes the logo
    std::optional<std::string> LogoType;        // with Logo
    std::map<std::string, int> ExpectedFibres;  // cable → count, set or replaced; 0 removes
};

// A download's row: its records' hashes and the number it has in this archive alone.
struct TDownloadRow {
    std::int64_t Number = 0;
    std::string RecordsSha256;  // the download's identity
    std::string TextSha256;     // of the records' measurement-file text
    std::int64_t Readings = 0;
};

// A correction of a download's facts; what is absent stays as it is.
struct TDownloadFix {
    std::optional<TDirection> Direction;
    std::optional<std::string> TestDate;  // YYYY-MM-DD
    std::optional<std::string> Operator;
};

// What a merge of another archive's download or events did.
struct TMergeOutcome {
    bool JobMade = false;
    bool RecordsAdded = false;
    std::int64_t EventsAdded = 0;
    std::vector<TJobEvent> FarAhead;  // added events more than a day ahead of this clock
};

// An archive of jobs: an SQLite file or a PostgreSQL database, the same tables in both. Every
// write is one transaction: it is whole or absent, also when the process is killed or the
// server goes away. All failures throw EArchiveError. One object is for one thread at a time;
// several processes may share an archive.
class TArchive {
public:
    virtual ~TArchive() = default;

    // For messages: the file's path or the URI without its password.
    virtual std::string Location() const = 0;
    // True when the archive could only be opened for reading; writes throw ReadOnly.
    virtual bool IsReadOnly() const = 0;
    // Why, when the archive knows more than that ("the user ann may only read it"); "" else.
    virtual std::string ReadOnlyReason() const { return {}; }

    // Newest first.
    virtual std::vector<TJobEntry> ListJobs() = 0;
    // job.Budgets' times and CreatedAt are set by the archive when empty. Throws JobExists.
    virtual void CreateJob(const TJob& job) = 0;
    // Without its downloads. None when there is no such job.
    virtual std::optional<TJob> FindJob(const std::string& name) = 0;
    // Throws NoSuchJob.
    virtual void ChangeJob(const std::string& name, const TJobChanges& changes) = 0;

    // Adds a download unless the job holds the same records (the same records hash, or the
    // same measurement-file text: then nothing changes and the outcome names that download).
    // Number, AddedAt and the hashes are set by the archive. Throws NoSuchJob.
    virtual TAddOutcome AddDownload(const std::string& jobName, const TDownload& download) = 0;
    // Every download of the job with its readings (each with its direction in force), in the
    // order they were first added.
    virtual std::vector<TDownload> Downloads(const std::string& jobName) = 0;
    // Sets or clears a download's void flag; reason is kept with it. download names it by its
    // number here or a prefix of its records hash (FindDownload). Throws NoSuchDownload.
    virtual void SetVoid(const std::string& jobName, const std::string& download, bool isVoid,
                         const std::string& reason) = 0;
    void SetVoid(const std::string& jobName, std::int64_t number, bool isVoid,
                 const std::string& reason) {
        SetVoid(jobName, std::to_string(number), isVoid, reason);
    }
    // Corrects a download's direction, test date or operator. Throws NoSuchDownload.
    virtual void FixDownload(const std::string& jobName, const std::string& download,
                             const TDownloadFix& fix) = 0;
    // The records hash of the download a name means: its number in this archive, or a prefix
    // of at least 6 hex digits of its records hash. Throws NoSuchDownload, AmbiguousDownload
    // (naming the candidates).
    virtual std::string FindDownload(const std::string& jobName, const std::string& name) = 0;

    // The job's events and what they add up to (conflicts included). Throws NoSuchJob.
    virtual std::vector<TJobEvent> Events(const std::string& jobName) = 0;
    virtual TJobState State(const std::string& jobName) = 0;
    // The author of the events this object makes; by default the user's name.
    virtual void SetAuthor(const std::string& author) { static_cast<void>(author); }
    // Takes in another archive's events of a job, and the records of one download when
    // given, in one transaction; what is there already is left. Makes the job when missing.
    virtual TMergeOutcome Merge(const std::string& jobName, const std::vector<TJobEvent>& events,
                                const TDownload* records) = 0;
    // The downloads' rows (numbers, hashes, reading counts) without their readings.
    virtual std::vector<TDownloadRow> DownloadRows(const std::string& jobName) = 0;
    // The readings of one download (own directions: None where the download's holds), by
    // records hash; empty when the job has no such download.
    virtual std::vector<TStoredReading> Records(const std::string& jobName,
                                                const std::string& recordsSha256) = 0;

    // What opening the archive did that its user should know (an upgrade, and where the copy
    // from before it went); empty when nothing.
    virtual std::string OpenNotice() const { return {}; }

    // A number that changes whenever any process changes the archive; cheap to ask, so that a
    // window can poll it.
    virtual std::int64_t ChangeMark() = 0;

    // Told how long a write has waited for another program writing the archive, from the first
    // second on and then about every tenth of a second, on the thread that writes; false stops
    // the wait, and the write fails with Busy. Without a watch a write waits until it may go on.
    using TWaitWatch = std::function<bool(std::chrono::milliseconds waited)>;
    virtual void WatchWaiting(TWaitWatch watch) { static_cast<void>(watch); }

    // Writes a copy of the archive, whole as of one moment, to the file path: a new file that
    // takes path's place once complete, never an archive's place. Throws EArchiveError (BadInput
    // for an archive that is no file).
    virtual void SaveCopy(const std::string& path);
};

// The archive a command uses: the one given (--archive), else $MERIDAX_ARCHIVE, else
// $XDG_DATA_HOME/meridax/archive.sqlite (~/.local/share/meridax/archive.sqlite).
std::string ArchiveLocation(const std::string& given);

// Whether a missing SQLite file is made: a command that only reads or changes the jobs of an
// archive must not leave an empty archive behind a mistyped name.
enum class TArchiveCreation { MayCreate, MustExist };

// Opens an archive: "postgresql://..." or "postgres://..." a PostgreSQL database (libpq's
// settings and ~/.pgpass apply), anything else an SQLite file, made with its folder (0700)
// when missing unless MustExist (then NoArchive; an empty file counts as missing). A file the
// user may not write opens for reading only. Throws EArchiveError.
std::unique_ptr<TArchive> OpenArchive(const std::string& location,
                                      TArchiveCreation creation = TArchiveCreation::MayCreate);

// The location as messages show it: a URI's password replaced by "***".
std::string ShownLocation(const std::string& location);
