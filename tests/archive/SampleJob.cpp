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

// Worked out by hand: the SHA-256 digests are those
// of the measurement texts
//   """K\xe1bel 1""@1@1310@-0.35@-10.5"^"""K\xe1bel 1""@2@1550@0.1@0"^  and  K2@12@1310@-21.5^
// and the logo is the base64 of the nine bytes 89 50 4E 47 0D 0A 1A 0A 00.
std::string FirstVersionSampleText() {
    return R"({
  "format": "meridax-job",
  "version": 1,
  "name": "Bratislava \"Nivy\"",
  "customer": "Slovanet",
  "site": "Nivy tower, floor 3",
  "contractor": "Fibra s.r.o.",
  "notes": "two days\nsplices re-made",
  "created_at": "2026-12-01T08:00:00.000001Z",
  "logo_type": "png",
  "logo": "iVBORw0KGgoA",
  "expected_fibres": {"K2": 144, "Kábel 1": 12},
  "budgets": [
    {"set_at": "2026-12-01T08:00:01.000000Z", "json": "{\"cables\": []}\n"},
    {"set_at": "2026-12-02T09:30:00.500000Z", "json": "{\"pair_rule\": \"average\"}"}
  ],
  "downloads": [
    {
      "number": 1,
      "test_date": "2026-12-01",
      "meter": "OLP-85 #1",
      "source": "/dev/ttyUSB0",
      "operator": "Jana",
      "added_at": "2026-12-01T10:00:00.000000Z",
      "direction": "a-b",
      "void": false,
      "void_reason": "",
      "sha256": "d7ac2918109143eb5e1cb1663fbd438889172dbd34d47a57fbacf94201e0b0c8",
      "readings": [
        {"cable": "Kábel 1", "fiber": "1", "wavelength": 1310.0, "kind": "relative", "value": -0.35, "reference": -10.5, "direction": "a-b"},
        {"cable": "Kábel 1", "fiber": "2", "wavelength": 1550.0, "kind": "relative", "value": 0.1, "reference": 0.0, "direction": "a-b"}
      ]
    },
    {
      "number": 2,
      "test_date": "2026-12-02",
      "meter": "OLP-85 #2",
      "source": "/dev/ttyUSB0",
      "operator": "Jana",
      "added_at": "2026-12-02T10:00:00.000000Z",
      "direction": "b-a",
      "void": true,
      "void_reason": "wrong job",
      "sha256": "a0e729e2cc9c110307766cd01b753565ba0e54f68d5d9f56a028e53a5accfdbc",
      "readings": [
        {"cable": "K2", "fiber": "12", "wavelength": 1310.0, "kind": "absolute", "value": -21.5, "reference": 0.0, "direction": "b-a"}
      ]
    }
  ]
}
)";
}
