#include "jobs/JobWork.h"

#include "data/CountText.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/DownloadHash.h"
#include "verdict/Verdict.h"

TDownload MakeDownload(TMeraniaArray records, std::string meter, std::string source,
                       const TAddAnswers& answers) {
    std::vector<TStoredReading> readings;
    readings.reserve(records.size());
    for (TMeranie& record : records) {
        readings.push_back({std::move(record), answers.Direction});
    }
    return MakeDownloadOfReadings(std::move(readings), std::move(meter), std::move(source),
                                  answers);
}

TDownload MakeDownloadOfReadings(std::vector<TStoredReading> readings, std::string meter,
                                 std::string source, const TAddAnswers& answers) {
    TDownload download;
    download.Meter = std::move(meter);
    download.Source = std::move(source);
    download.Operator = answers.Operator;
    download.TestDate = answers.TestDate;
    download.Direction = answers.Direction;
    download.Sha256 = ReadingsSha256(readings);
    download.Readings = std::move(readings);
    return download;
}

namespace {
bool TryingAgainMayHelp(const std::error_code& code) {
    if (code.category() == ArchiveCategory()) {
        return code == TArchiveErrc::Busy || code == TArchiveErrc::ServerUnavailable ||
               code == TArchiveErrc::DatabaseFailed;
    }
    return code == std::errc::no_space_on_device || code == std::errc::io_error ||
           code == std::errc::resource_unavailable_try_again || code == std::errc::interrupted ||
           code == std::errc::not_enough_memory;
}
}  // namespace

std::string AddFailureText(const std::string& message, const std::error_code& code) {
    return message + (TryingAgainMayHelp(code)
                          ? "; nothing was added, and trying again may help"
                          : "; nothing was added, and trying again will not help until that is "
                            "mended");
}

const char* DirectionCaption(TDirection direction) {
    switch (direction) {
        case TDirection::AToB:
            return "A\u2192B";
        case TDirection::BToA:
            return "B\u2192A";
        case TDirection::None:
            break;
    }
    return "none";
}

std::string AddOutcomeText(const std::string& jobName, const TAddOutcome& outcome,
                           const TDownload& download) {
    if (!outcome.Added) {
        return "Not added: already in job " + jobName + " (download " +
               std::to_string(outcome.Number) + ")";
    }
    return "Added download " + std::to_string(outcome.Number) + " to job " + jobName + " (" +
           Counted(download.Readings.size(), "reading", "readings") + ", direction " +
           DirectionCaption(download.Direction) + ")";
}

std::string JobCountsText(const TJobCounts& counts) {
    const std::size_t rows =
        counts.Rows.Pass + counts.Rows.Fail + counts.Rows.Check + counts.Rows.None;
    std::string text = Counted(rows, "row", "rows") + ": " + GroupedCount(counts.Rows.Pass) +
                       " pass, " + GroupedCount(counts.Rows.Fail) + " fail, " +
                       GroupedCount(counts.Rows.Check) + " check";
    if (counts.Rows.None > 0) {
        text += ", " + GroupedCount(counts.Rows.None) + " not judged";
    }
    text += "; " + Counted(counts.Pairs, "pair", "pairs") + ", " +
            GroupedCount(counts.OneDirection) + " one direction; " +
            Counted(counts.History, "re-tested reading", "re-tested readings") + "; " +
            Counted(counts.Downloads + counts.VoidDownloads, "download", "downloads");
    if (counts.VoidDownloads > 0) {
        text += " (" + GroupedCount(counts.VoidDownloads) + " void)";
    }
    return text;
}
