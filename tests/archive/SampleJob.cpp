#include "SampleJob.h"

#include "jobs/DownloadHash.h"
#include "jobs/RecordsHash.h"
#include "jobs/Version1Events.h"

TDownload DocumentDownload(std::int64_t number, const TMeraniaArray& records, TDirection direction,
                           const std::string& addedAt) {
    TDownload download;
    download.Number = number;
    download.Meter = "OLP-85 #" + std::to_string(number);
    download.Source = "/dev/ttyUSB0";
    download.Operator = "Jana";
    download.TestDate = "2026-12-0" + std::to_string(number);
    download.Direction = direction;
    download.AddedAt = addedAt;
    for (const TMeranie& record : records) {
        download.Readings.push_back({record, direction});
    }
    download.Sha256 = DownloadSha256(records);
    return download;
}

TJobDocument SampleJob() {
    TJobDocument document;
    document.Version = 1;
    TJob& job = document.Job;
    job.Name = "Bratislava \"Nivy\"";
    job.Customer = "Slovanet";
    job.Site = "Nivy tower, floor 3";
    job.Contractor = "Fibra s.r.o.";
    job.Notes = "two days\nsplices re-made";
    job.CreatedAt = "2026-12-01T08:00:00.000001Z";
    job.Budgets = {{"{\"cables\": []}\n", "2026-12-01T08:00:01.000000Z"},
                   {"{\"pair_rule\": \"average\"}", "2026-12-02T09:30:00.500000Z"}};
    job.Logo = std::string("\x89PNG\r\n\x1a\n\0", 9);
    job.LogoType = "png";
    job.ExpectedFibres = {{"K\xc3\xa1"
                           "bel 1",
                           12},
                          {"K2", 144}};
    const TMeraniaArray first = {{"K\xe1"
                                  "bel 1",
                                  "1", 1310, -0.35, -10.5, true},
                                 {"K\xe1"
                                  "bel 1",
                                  "2", 1550, 0.1, 0, true}};
    const TMeraniaArray second = {{"K2", "12", 1310, -21.5, 0, false}};
    document.Downloads = {
        DocumentDownload(1, first, TDirection::AToB, "2026-12-01T10:00:00.000000Z"),
        DocumentDownload(2, second, TDirection::BToA, "2026-12-02T10:00:00.000000Z")};
    document.Downloads[1].Void = true;
    document.Downloads[1].VoidReason = "wrong job";
    return document;
}

std::string SecondVersionText(const TJobDocument& firstVersion) {
    std::vector<TDownload> downloads;
    for (const TDownload& download : firstVersion.Downloads) {
        TDownload& records = downloads.emplace_back();
        records.Readings = OwnDirections(download);
        records.RecordsSha256 = RecordsSha256(records.Readings);
        records.Sha256 = download.Sha256;
    }
    return JobDocumentText(firstVersion.Job.Name,
                           Version1Events(firstVersion.Job, firstVersion.Downloads), downloads);
}
