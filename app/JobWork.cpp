#include "app/JobWork.h"

#include "data/CountText.h"
#include "data/Latin1Utf8.h"
#include "jobs/DownloadHash.h"
#include "verdict/Verdict.h"

TJobSnapshot ReadJobSnapshot(TArchive& archive, const std::string& jobName) {
    TJobSnapshot snapshot;
    snapshot.Location = archive.Location();
    snapshot.ReadOnly = archive.IsReadOnly();
    std::optional<TJob> job = archive.FindJob(jobName);
    if (!job) {
        throw EArchiveError(make_error_code(TArchiveErrc::NoSuchJob),
                            "No job " + jobName + " in " + snapshot.Location);
    }
    snapshot.Job = std::move(*job);
    std::vector<TDownload> downloads = archive.Downloads(jobName);
    try {
        snapshot.Results = ComputeJobResults(snapshot.Job, downloads);
    } catch (const std::exception& e) {
        snapshot.BudgetError = e.what();
    }
    snapshot.Downloads.reserve(downloads.size());
    for (TDownload& download : downloads) {
        download.Readings.clear();
        download.Readings.shrink_to_fit();
        snapshot.Downloads.push_back(std::move(download));
    }
    return snapshot;
}

TDownload MakeDownload(const TMeraniaArray& records, const std::string& meter,
                       const std::string& source, const TAddAnswers& answers) {
    TDownload download;
    download.Meter = Latin1ToUtf8(meter);
    download.Source = source;
    download.Operator = answers.Operator;
    download.TestDate = answers.TestDate;
    download.Direction = answers.Direction;
    download.Sha256 = DownloadSha256(records);
    download.Readings.reserve(records.size());
    for (const TMeranie& record : records) {
        download.Readings.push_back({record, answers.Direction});
    }
    return download;
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
    std::string text = Counted(rows, "row", "rows") + ": " + std::to_string(counts.Rows.Pass) +
                       " pass, " + std::to_string(counts.Rows.Fail) + " fail, " +
                       std::to_string(counts.Rows.Check) + " check";
    if (counts.Rows.None > 0) {
        text += ", " + std::to_string(counts.Rows.None) + " not judged";
    }
    text += "; " + Counted(counts.Pairs, "pair", "pairs") + ", " +
            std::to_string(counts.OneDirection) + " one direction; " +
            Counted(counts.History, "re-tested reading", "re-tested readings") + "; " +
            Counted(counts.Downloads + counts.VoidDownloads, "download", "downloads");
    if (counts.VoidDownloads > 0) {
        text += " (" + std::to_string(counts.VoidDownloads) + " void)";
    }
    return text;
}
