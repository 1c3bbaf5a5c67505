#include <fnmatch.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <iostream>
#include <new>
#include <stdexcept>
#include <utility>

#include "data/ControlText.h"
#include "data/CountText.h"
#include "data/Latin1Utf8.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"
#include "export/ExportFields.h"
#include "jobs/JobWork.h"
#include "sys/FileErrors.h"
#include "tools/cli/JobCommands.h"
#include "tools/cli/MeraniaInput.h"
#include "tools/cli/MeterImport.h"
#include "tools/cli/StopSignalWatch.h"

namespace {

// Ctrl+C ends a wait for another program, or an add under way, which the archive then holds
// not at all.
const char* const InterruptedAdd =
    "meridax-cli job add: interrupted: a download not reported as added was not added\n";

// The local calendar's date: a technician's "today".
std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

// The records' cables are the meter's Latin-1 bytes; the pattern comes from a UTF-8 terminal,
// and an ASCII one matches either form.
bool CableMatches(const std::string& glob, const std::string& cable) {
    return ::fnmatch(glob.c_str(), Latin1ToUtf8(cable).c_str(), 0) == 0 ||
           ::fnmatch(glob.c_str(), cable.c_str(), 0) == 0;
}

void KeepCables(const std::string& glob, TMeraniaArray& records) {
    if (glob.empty())
        return;
    std::erase_if(records,
                  [&glob](const TMeranie& record) { return !CableMatches(glob, record.Cable); });
}

std::string FileName(const std::string& input) {
    if (input == "-")
        return "standard input";
    const std::size_t slash = input.find_last_of('/');
    return slash == std::string::npos ? input : input.substr(slash + 1);
}

void RequireReadings(const TJobOptions& options, const std::string& source, bool empty) {
    if (empty) {
        throw std::runtime_error(
            source + ": " +
            (options.CablesGlob.empty()
                 ? std::string("holds no readings")
                 : "no reading's cable matches --cables " + options.CablesGlob));
    }
}

TAddAnswers Answers(const TJobOptions& options) {
    return {options.Direction, options.Operator, options.Date.empty() ? Today() : options.Date};
}

// The records as a download of the job, moved out of records; the hash is of the records
// taken, so that a memory split over two jobs gives each its own.
TDownload TakeDownload(const TJobOptions& options, const std::string& source,
                       const std::string& meter, TMeraniaArray& records) {
    KeepCables(options.CablesGlob, records);
    RequireReadings(options, source, records.empty());
    return MakeDownload(std::exchange(records, {}), meter, source, Answers(options));
}

// The same of an input file, parsed straight into the download's readings: a million records
// would otherwise exist twice for a moment (96 and 104 bytes each).
TDownload ReadDownload(const TJobOptions& options, const std::string& input) {
    std::vector<TStoredReading> readings;
    ReadMeraniaBatches(
        input,
        [&readings](std::size_t most) {
            // An upper bound, which for a text of mostly empty lines can be more than memory
            // allows: then the readings just grow as they come.
            try {
                readings.reserve(most);
            } catch (const std::bad_alloc&) {
            }
        },
        [&](TMeraniaArray& records) {
            KeepCables(options.CablesGlob, records);
            for (TMeranie& record : records)
                readings.push_back({std::move(record), options.Direction});
        });
    const std::string source = FileName(input);
    RequireReadings(options, source, readings.empty());
    return MakeDownloadOfReadings(std::move(readings), options.Meter, source, Answers(options));
}

void Add(const TJobOptions& options, TArchive& archive, const TDownload& download) {
    const TAddOutcome outcome = archive.AddDownload(options.Name, download);
    if (outcome.Added) {
        std::cout << EscapeControls(download.Source) << ": download " << outcome.Number
                  << " of job " << EscapeControls(options.Name) << ", "
                  << Counted(download.Readings.size(), "reading", "readings") << '\n';
    } else if (outcome.SameText) {
        // The same records written by another program (a dump and the file saved from it):
        // figures equal to the digits a file keeps, so not added a second time.
        std::cout << EscapeControls(download.Source) << ": same records as "
                  << outcome.RecordsSha256.substr(0, 8) << "\xE2\x80\xA6 in job "
                  << EscapeControls(options.Name) << " (download " << outcome.Number
                  << "): nothing added\n";
    } else {
        std::cout << EscapeControls(download.Source) << ": already in job "
                  << EscapeControls(options.Name) << " (download " << outcome.Number << ")\n";
    }
}

int AddFromMeter(const TJobOptions& options, TArchive& archive) {
    TImportOptions port;
    port.Port = options.Port;
    port.Baud = options.Baud;
    return ImportFromMeter(port, std::cout, "meridax-cli job add",
                           [&](const std::string& name, TMeraniaArray records) {
                               const TStopSignalWatch stopSignals(InterruptedAdd);
                               // The meter's name line is 8-bit, as it sends it; the archive keeps
                               // UTF-8, and the TAB the label shows as four blanks.
                               Add(options, archive,
                                   TakeDownload(options, options.Port,
                                                Latin1ToUtf8(DeviceLineFromLabel(name)), records));
                           });
}

// Says on standard error, after the first second and then every five, how long the add has
// waited for another program writing the archive.
void TellTheWait(TArchive& archive) {
    archive.WatchWaiting([location = archive.Location(), next = std::chrono::seconds(1)](
                             std::chrono::milliseconds waited) mutable {
        if (waited >= next) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(waited);
            std::cerr << "meridax-cli job add: waiting for another program writing the archive "
                      << location << " (" << seconds.count() << " s; Ctrl+C stops)\n";
            next = seconds + std::chrono::seconds(5);
        }
        return true;
    });
}

}  // namespace

void AddOrTell(const std::function<void()>& add) {
    try {
        add();
    } catch (const EArchiveError& error) {
        throw EArchiveError(error.code(), AddFailureText(error.what(), error.code()));
    } catch (const EInOutError& error) {
        throw EInOutError(AddFailureText(error.what(), error.code()), error.Path(), error.code());
    } catch (const EOutOfMemory& error) {
        throw EOutOfMemory(AddFailureText(error.what(), error.code()), error.Path(), error.Size());
    } catch (const std::exception& error) {
        throw std::runtime_error(AddFailureText(error.what(), {}));
    }
}

int RunJobAdd(const TJobOptions& options, TArchive& archive) {
    int exitCode = 0;
    AddOrTell([&] {
        // A job that is not there, or an archive that cannot be written, is told before any
        // input is read.
        RequireJob(archive, options.Name);
        if (archive.IsReadOnly()) {
            const std::string why = archive.ReadOnlyReason();
            throw EArchiveError(TArchiveErrc::ReadOnly, archive.Location() + " can only be read" +
                                                            (why.empty() ? "" : ": " + why));
        }
        TellTheWait(archive);
        if (!options.Port.empty()) {
            exitCode = AddFromMeter(options, archive);
            return;
        }
        const TStopSignalWatch stopSignals(InterruptedAdd);
        for (const std::string& input : options.Inputs) {
            Add(options, archive, ReadDownload(options, input));
        }
    });
    return exitCode;
}
