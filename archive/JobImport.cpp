#include "archive/JobImport.h"

#include <algorithm>
#include <map>
#include <set>

#include "archive/ArchiveTime.h"
#include "jobs/RecordsHash.h"
#include "jobs/Version1Events.h"

std::string ExportJob(TArchive& archive, const std::string& jobName) {
    std::vector<TJobEvent> events = archive.Events(jobName);
    std::vector<TDownload> downloads;
    for (const TDownloadRow& row : archive.DownloadRows(jobName)) {
        TDownload& download = downloads.emplace_back();
        download.RecordsSha256 = row.RecordsSha256;
        download.Sha256 = row.TextSha256;
        download.Readings = archive.Records(jobName, row.RecordsSha256);
    }
    return JobDocumentText(jobName, events, downloads);
}

namespace {

// The document's downloads as the second version keeps them, with their events.
struct TDocumentParts {
    std::vector<TJobEvent> Events;
    std::vector<TDownload> Downloads;  // records hash, text hash, own-direction readings
};

TDocumentParts PartsOf(const TJobDocument& document) {
    if (document.Version >= 2)
        return {document.Events, document.Downloads};
    TDocumentParts parts{Version1Events(document.Job, document.Downloads), {}};
    for (const TDownload& download : document.Downloads) {
        TDownload& records = parts.Downloads.emplace_back();
        records.Readings = OwnDirections(download);
        records.RecordsSha256 = RecordsSha256(records.Readings);
        records.Sha256 = download.Sha256;
    }
    return parts;
}

}  // namespace

TImportOutcome ImportJob(TArchive& archive, const TJobDocument& document) {
    const std::string& name = document.Job.Name;
    TImportOutcome outcome;
    outcome.Created = !archive.FindJob(name).has_value();
    const TDocumentParts parts = PartsOf(document);
    std::set<std::string> sent;
    const auto merge = [&](const std::vector<TJobEvent>& events, const TDownload* records) {
        const TMergeOutcome merged = archive.Merge(name, events, records);
        outcome.EventsAdded += merged.EventsAdded;
        outcome.FarAhead.insert(outcome.FarAhead.end(), merged.FarAhead.begin(),
                                merged.FarAhead.end());
        for (const TJobEvent& event : events)
            sent.insert(event.Id);
        return merged;
    };
    for (const TDownload& download : parts.Downloads) {
        std::vector<TJobEvent> events;
        for (const TJobEvent& event : parts.Events) {
            if (event.Target == DownloadTarget(download.RecordsSha256))
                events.push_back(event);
        }
        const TMergeOutcome merged = merge(events, &download);
        ++(merged.RecordsAdded ? outcome.DownloadsAdded : outcome.DownloadsPresent);
    }
    std::vector<TJobEvent> rest;
    for (const TJobEvent& event : parts.Events) {
        if (sent.count(event.Id) == 0)
            rest.push_back(event);
    }
    if (!rest.empty() || outcome.Created)
        merge(rest, nullptr);
    return outcome;
}

std::string FarAheadWarning(const std::vector<TJobEvent>& farAhead) {
    std::map<std::pair<std::string, std::string>, std::pair<std::size_t, TClock>> by;
    for (const TJobEvent& event : farAhead) {
        auto& [count, clock] = by[{event.Origin, event.Author}];
        ++count;
        clock = std::max(clock, event.Clock);
    }
    std::string text;
    for (const auto& [who, what] : by) {
        const std::string author = who.second.empty() ? "someone" : who.second;
        text += (text.empty() ? "" : "\n") + std::to_string(what.first) +
                (what.first == 1 ? " event" : " events") + " made by " + author + " on archive " +
                who.first.substr(0, 8) + (what.first == 1 ? " carries" : " carry") +
                " a clock more than a day ahead of this computer's (up to " +
                ArchiveTimeText(std::chrono::system_clock::time_point(
                    std::chrono::milliseconds(MsOfClock(what.second)))) +
                "): taken in; changes made here from now on sort after them";
    }
    return text;
}
