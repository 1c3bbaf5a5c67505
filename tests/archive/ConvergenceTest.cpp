// Archives that each change one job on their own, with clocks a year apart or stepping back,
// and exchange it in random orders, by document or by sync: once every archive has seen every
// other, they hold the same job, byte for byte, with the same results and the same conflicts.
#include <gtest/gtest.h>

#include <random>

#include "MemoryArchive.h"
#include "archive/EventArchive.h"
#include "archive/JobImport.h"
#include "archive/JobSync.h"
#include "jobs/JobResults.h"
#include "jobs/JobWork.h"

namespace {

constexpr int Archives = 3;
constexpr std::int64_t Year = 365 * 24 * 3600;

// Records that differ only where a text would not show it: -0 and 0, the 17th digit.
std::vector<TMeraniaArray> RecordPool() {
    std::vector<TMeraniaArray> pool;
    for (const double value : {-0.0, 0.0, 0.42, 0.4200000000000001, -0.35}) {
        pool.push_back({{"R", "1", 1310, value, -10, true}, {"R", "2", 1550, -0.3, -10, true}});
        pool.push_back({{"R", "3", 1310, value, -10, true}});
    }
    return pool;
}

class TWorld {
public:
    explicit TWorld(unsigned seed) : random_(seed) {
        for (int at = 0; at < Archives; ++at) {
            auto store = std::make_unique<TMemoryStore>(std::string(31, '0') + char('1' + at));
            stores_.push_back(store.get());
            archives_.push_back(std::make_unique<TEventArchive>(std::move(store)));
            archives_.back()->SetAuthor(std::string(1, char('A' + at)));
        }
    }

    void Step() {
        TArchive& archive = *archives_[Pick(Archives)];
        if (!archive.FindJob("J")) {
            TJob job;
            job.Name = "J";
            archive.CreateJob(job);
            return;
        }
        switch (Pick(9)) {
            case 0:
                Add(archive);
                break;
            case 1:
                Fix(archive);
                break;
            case 2:
                Void(archive);
                break;
            case 3:
                Change(archive);
                break;
            case 4:
                stores_[Pick(Archives)]->SetClock(1893456000 + (Pick(3) - 1) * Year);
                break;
            default:
                Exchange(*archives_[Pick(Archives)], archive);
                break;
        }
    }

    // Every archive sees every other, twice round (a document goes one way only).
    void ExchangeAll() {
        for (int round = 0; round < 2; ++round) {
            for (int a = 0; a < Archives; ++a) {
                for (int b = 0; b < Archives; ++b)
                    Exchange(*archives_[a], *archives_[b]);
            }
        }
    }

    TArchive& Archive(int at) { return *archives_[at]; }

private:
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

    std::string Download(TArchive& archive) {
        const std::vector<TDownloadRow> rows = archive.DownloadRows("J");
        return rows.empty() ? "" : rows[Pick(static_cast<int>(rows.size()))].RecordsSha256;
    }

    void Add(TArchive& archive) {
        static const std::vector<TMeraniaArray> pool = RecordPool();
        const TDirection directions[] = {TDirection::AToB, TDirection::BToA, TDirection::None};
        archive.AddDownload(
            "J",
            MakeDownload(pool[Pick(static_cast<int>(pool.size()))], "M", "dump",
                         {directions[Pick(3)], "Ann", "2026-11-0" + std::to_string(1 + Pick(3))}));
    }

    void Fix(TArchive& archive) {
        if (const std::string hash = Download(archive); !hash.empty())
            archive.FixDownload("J", hash,
                                {Pick(2) ? TDirection::AToB : TDirection::BToA, std::nullopt,
                                 std::string(1, char('P' + Pick(3)))});
    }

    void Void(TArchive& archive) {
        if (const std::string hash = Download(archive); !hash.empty())
            archive.SetVoid("J", hash, Pick(2) == 0, "reason " + std::to_string(Pick(3)));
    }

    void Change(TArchive& archive) {
        TJobChanges changes;
        switch (Pick(3)) {
            case 0:
                changes.Customer = "customer " + std::to_string(Pick(3));
                break;
            case 1:
                changes.BudgetJson = "{\"name\": \"b" + std::to_string(Pick(3)) + "\"}";
                break;
            default:
                changes.ExpectedFibres["R"] = Pick(4);
                break;
        }
        archive.ChangeJob("J", changes);
    }

    void Exchange(TArchive& a, TArchive& b) {
        if (&a == &b || (!a.FindJob("J") && !b.FindJob("J")))
            return;
        if (Pick(2) == 0) {
            SyncJob(a, b, "J");
        } else if (a.FindJob("J")) {
            ImportJob(b, ReadJobDocument(ExportJob(a, "J"), "a.json"));
        }
    }

    std::mt19937 random_;
    std::vector<TMemoryStore*> stores_;
    std::vector<std::unique_ptr<TArchive>> archives_;
};

// What a job's results say, whichever archive worked them out.
std::string ResultsText(TArchive& archive) {
    std::vector<TDownload> downloads = archive.Downloads("J");
    const TJob job = *archive.FindJob("J");
    const TJobResults results = ComputeJobResults(TBudget{}, job.ExpectedFibres, downloads);
    std::string text = JobCountsText(results.Counts);
    for (const TResultRow& row : results.Rows)
        text += row.Cable + "/" + row.Fiber + " " + DirectionName(row.Reading.Direction) + " " +
                std::to_string(row.Reading.Value) + " " + std::to_string(row.Partner.Value) + " " +
                std::to_string(row.History.size()) + "\n";
    for (const TConflict& conflict : archive.State("J").Conflicts)
        text += ConflictText(conflict) + "\n";
    return text;
}

}  // namespace

TEST(Convergence, ArchivesThatSawEachOtherHoldTheSameJob) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TWorld world(seed);
        for (int step = 0; step < 40; ++step)
            world.Step();
        world.ExchangeAll();
        const std::string document = ExportJob(world.Archive(0), "J");
        const std::string results = ResultsText(world.Archive(0));
        for (int at = 1; at < Archives; ++at) {
            ASSERT_EQ(ExportJob(world.Archive(at), "J"), document);
            ASSERT_EQ(ResultsText(world.Archive(at)), results);
        }
    }
}
