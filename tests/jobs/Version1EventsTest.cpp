// Version-1 jobs as events: what the events' state gives back is the job and its downloads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/ArchiveErrors.h"
#include "jobs/JobState.h"
#include "jobs/RecordsHash.h"
#include "jobs/Version1Events.h"
#include "support/Throws.h"

namespace {

TDownload Version1Download(std::int64_t number, const std::string& addedAt, TDirection direction,
                           double value) {
    TDownload download;
    download.Number = number;
    download.Meter = "OLTS-7 " + std::to_string(number);
    download.Source = "/dev/ttyUSB0";
    download.Operator = "Ann";
    download.TestDate = "2026-12-0" + std::to_string(number);
    download.Direction = direction;
    download.AddedAt = addedAt;
    download.Readings = {{{"R", "1", 1310, value, -10, true}, direction},
                         {{"R", "2", 1550, value, 0, false}, TDirection::AToB}};
    return download;
}

// The fields DeriveJobState gives of a download, as the version-1 download holds them.
std::string DownloadText(const TDownload& d) {
    return d.Meter + "|" + d.Source + "|" + d.AddedAt + "|" + d.Operator + "|" + d.TestDate + "|" +
           DirectionName(d.Direction) + "|" + (d.Void ? "void " : "") + d.VoidReason;
}
std::string DownloadText(const TDownloadState& d) {
    return d.Meter + "|" + d.Source + "|" + d.AddedAt + "|" + d.Operator + "|" + d.TestDate + "|" +
           DirectionName(d.Direction) + "|" + (d.Void ? "void " : "") + d.VoidReason;
}

// A full job (budgets two of them set in one millisecond, downloads two of them added in one,
// one void, one with nothing but its add time) and a bare one.
TEST(Version1EventsTest, StateGivesBackTheJobAndItsDownloads) {
    TJob full;
    full.Name = "Fibre ring";
    full.Customer = "ACME";
    full.Site = "Žilina\nhall 2";
    full.Contractor = "Ben";
    full.Notes = "back\\slash";
    full.CreatedAt = "2026-12-01T08:00:00.000000Z";
    full.Budgets = {{"{\"b\":1}", "2026-12-01T08:00:00.100000Z"},
                    {"{\"b\":2}", "2026-12-01T08:00:00.100900Z"},
                    {"{\"b\":1}", "2026-12-02T08:00:00.000000Z"}};
    full.Logo = "\x89PNG\r\n";
    full.LogoType = "png";
    full.ExpectedFibres = {{"R", 12}, {"S/T", 1000000}};
    std::vector<TDownload> downloads = {
        Version1Download(1, "2026-12-01T09:00:00.000500Z", TDirection::AToB, -0.25),
        Version1Download(2, "2026-12-01T09:00:00.000100Z", TDirection::BToA, -0.25),
        Version1Download(3, "2026-12-03T09:00:00.000000Z", TDirection::None, -0.5), TDownload{}};
    downloads[1].Void = true;
    downloads[1].VoidReason = "wrong cable";
    downloads[3].AddedAt = "2026-12-04T09:00:00Z";
    TJob bare;
    bare.Name = "Bare";
    bare.CreatedAt = "2026-12-01T08:00:00.000000Z";

    for (const auto& [job, jobDownloads] :
         {std::pair{full, downloads}, std::pair{bare, std::vector<TDownload>{}}}) {
        SCOPED_TRACE(job.Name);
        const std::vector<TJobEvent> events = Version1Events(job, jobDownloads);
        EXPECT_EQ(Version1Events(job, jobDownloads), events);
        const TJobState state = DeriveJobState(job.Name, events);
        EXPECT_EQ(state.Job, job);
        EXPECT_TRUE(state.Conflicts.empty());
        ASSERT_EQ(state.Downloads.size(), jobDownloads.size());
        for (std::size_t i = 0; i < jobDownloads.size(); ++i) {
            EXPECT_EQ(DownloadText(state.Downloads[i]), DownloadText(jobDownloads[i])) << i;
            EXPECT_EQ(state.Downloads[i].Hash, RecordsSha256(OwnDirections(jobDownloads[i])));
            EXPECT_EQ(state.Downloads[i].VoidBy, jobDownloads[i].Void ? "Ann" : "");
        }
    }
}

// Only the direction that differs from the download's is a reading's own; the hash sees it.
TEST(Version1EventsTest, OwnDirectionsAndBadTimes) {
    const TDownload download = Version1Download(1, "2026-12-01T09:00:00Z", TDirection::BToA, -1);
    const std::vector<TStoredReading> own = OwnDirections(download);
    ASSERT_EQ(own.size(), 2U);
    EXPECT_EQ(own[0].Direction, TDirection::None);
    EXPECT_EQ(own[1].Direction, TDirection::AToB);

    TJob job;
    job.Name = "J";
    job.CreatedAt = "2026-12-01T08:00:00.000000Z";
    TDownload late = download;
    late.Number = 7;
    late.AddedAt = "2026-12-01 09:00";
    EXPECT_SYSTEM_ERROR(Version1Events(job, {download, late}), EArchiveError,
                        TArchiveErrc::BadInput,
                        "job J: download 7's added time '2026-12-01 09:00' is not a UTC time such "
                        "as 2026-12-07T19:55:36.123456Z");
    job.Notes = "caf\xE9";
    EXPECT_SYSTEM_ERROR(Version1Events(job, {}), EArchiveError, TArchiveErrc::BadInput,
                        "job J: an event's value holds a text that is not UTF-8");
    job.CreatedAt.clear();
    EXPECT_SYSTEM_ERROR(Version1Events(job, {}), EArchiveError, TArchiveErrc::BadInput,
                        "job J: its creation time '' is not a UTC time such as "
                        "2026-12-07T19:55:36.123456Z");
}

}  // namespace
