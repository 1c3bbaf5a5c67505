// One download of a generated dump added to a new SQLite archive, against the sqlite3 shell's
// .import of the same rows as CSV into a table of the same columns, rounds alternating so that
// both see the same machine load; then the download read back.
//   meridax-bench-archive [RECORDS] [ROUNDS]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/Archive.h"
#include "bench/core/DumpGenerator.h"
#include "data/uMeranie.h"
#include "jobs/DownloadHash.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The readings as the archive stores them, one CSV line each.
void WriteCsv(const TMeraniaArray& records, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "w");
    long seq = 0;
    for (const TMeranie& r : records) {
        std::fprintf(file, "1,%ld,\"%s\",\"%s\",%.17g,%.17g,%.17g,%d,a-b\n", ++seq, r.Cable.c_str(),
                     r.Fiber.c_str(), r.WaveLength, r.Value, r.Reference, r.IsRelative ? 1 : 0);
    }
    std::fclose(file);
}

double ShellImport(const std::string& folder, const std::string& csv) {
    const std::string db = folder + "/import.sqlite";
    fs::remove(db);
    const std::string make =
        "sqlite3 " + db +
        " 'PRAGMA journal_mode=WAL;' 'CREATE TABLE readings(download_id INTEGER NOT NULL, seq "
        "INTEGER NOT NULL, cable TEXT NOT NULL, fiber TEXT NOT NULL, wavelength REAL, value REAL, "
        "reference REAL, is_relative INTEGER NOT NULL, direction TEXT NOT NULL DEFAULT \"\", "
        "PRIMARY KEY(download_id, seq)) WITHOUT ROWID' > /dev/null";
    if (std::system(make.c_str()) != 0) {
        std::exit(1);
    }
    const auto start = Clock::now();
    if (std::system(("sqlite3 " + db + " '.import --csv " + csv + " readings'").c_str()) != 0) {
        std::exit(1);
    }
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::stoul(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::stoi(argv[2]) : 3;
    char pattern[] = "/tmp/meridax-bench-archive-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    TMeraniaArray records;
    ParseDeviceDump(GenerateDeviceDump(count), records);
    WriteCsv(records, folder + "/rows.csv");
    TDownload download;
    download.Direction = TDirection::AToB;
    for (const TMeranie& record : records) {
        download.Readings.push_back({record, TDirection::AToB});
    }
    std::printf("%zu records, %d rounds\n", records.size(), rounds);
    for (int round = 1; round <= rounds; ++round) {
        const std::string path = folder + "/archive.sqlite";
        fs::remove(path);
        fs::remove(path + "-wal");
        fs::remove(path + "-shm");
        const auto start = Clock::now();
        const std::unique_ptr<TArchive> archive = OpenArchive(path);
        TJob job;
        job.Name = "bench";
        archive->CreateJob(job);
        archive->AddDownload("bench", download);
        const double add = Seconds(start);
        const auto readStart = Clock::now();
        const std::size_t read = archive->Downloads("bench").at(0).Readings.size();
        const double readBack = Seconds(readStart);
        const double import = ShellImport(folder, folder + "/rows.csv");
        std::printf(
            "round %d: AddDownload %.3f s (hash included), sqlite3 .import %.3f s, "
            "ratio %.2f; read back %zu readings %.3f s\n",
            round, add, import, add / import, read, readBack);
    }
    fs::remove_all(folder);
    return 0;
}
