// One download of a generated dump added to a PostgreSQL archive, against psql's \copy of the
// same rows into a table of the readings' columns: once with the archive's constraints (its
// key and the foreign key to a download), once bare. Rounds alternate so that all three see
// the same machine load. The server is one's own, for example one that
// scripts/test-postgres.sh start FILE started; each round makes and drops its databases.
//   meridax-bench-archive-postgres SERVER-URI [RECORDS] [ROUNDS]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/Archive.h"
#include "bench/core/DumpGenerator.h"
#include "data/Latin1Utf8.h"
#include "data/uMeranie.h"

using Clock = std::chrono::steady_clock;

namespace {
const char* const ReadingsColumns =
    "download_id BIGINT NOT NULL, seq INTEGER NOT NULL, cable TEXT NOT NULL, fiber TEXT NOT "
    "NULL, wavelength DOUBLE PRECISION NOT NULL, value DOUBLE PRECISION NOT NULL, reference "
    "DOUBLE PRECISION NOT NULL, is_relative BOOLEAN NOT NULL, direction TEXT NOT NULL DEFAULT ''";

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// serverUri with its database replaced.
std::string DatabaseUri(const std::string& serverUri, const std::string& database) {
    const std::size_t path = serverUri.find('/', serverUri.find("://") + 3);
    const std::size_t query = serverUri.find('?', path);
    return serverUri.substr(0, path + 1) + database +
           (query == std::string::npos ? std::string() : serverUri.substr(query));
}

void Psql(const std::string& uri, const std::string& command) {
    const std::string line = "PGOPTIONS='-c client_min_messages=warning' psql -q '" + uri +
                             "' -c \"" + command + "\" > /dev/null";
    if (std::system(line.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", line.c_str());
        std::exit(1);
    }
}

// The readings in COPY's text form, as the archive sends them.
void WriteRows(const TMeraniaArray& records, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "w");
    long seq = 0;
    for (const TMeranie& r : records) {
        std::fprintf(file, "1\t%ld\t%s\t%s\t%.17g\t%.17g\t%.17g\t%s\ta-b\n", ++seq,
                     Latin1ToUtf8(r.Cable).c_str(), Latin1ToUtf8(r.Fiber).c_str(), r.WaveLength,
                     r.Value, r.Reference, r.IsRelative ? "true" : "false");
    }
    std::fclose(file);
}

double Copy(const std::string& server, const std::string& rows, bool constrained) {
    Psql(server, "DROP DATABASE IF EXISTS meridax_bench_copy");
    Psql(server, "CREATE DATABASE meridax_bench_copy");
    const std::string uri = DatabaseUri(server, "meridax_bench_copy");
    if (constrained) {
        Psql(uri,
             "CREATE TABLE downloads(id BIGINT PRIMARY KEY); INSERT INTO downloads VALUES (1)");
    }
    Psql(uri, std::string("CREATE TABLE readings(") + ReadingsColumns +
                  (constrained ? ", FOREIGN KEY(download_id) REFERENCES downloads(id) ON DELETE "
                                 "CASCADE"
                               : "") +
                  ", PRIMARY KEY(download_id, seq))");
    const auto start = Clock::now();
    Psql(uri, "\\copy readings from '" + rows + "'");
    return Seconds(start);
}

double Add(const std::string& server, const TDownload& download) {
    Psql(server, "DROP DATABASE IF EXISTS meridax_bench_archive");
    Psql(server, "CREATE DATABASE meridax_bench_archive");
    const std::unique_ptr<TArchive> archive =
        OpenArchive(DatabaseUri(server, "meridax_bench_archive"));
    TJob job;
    job.Name = "bench";
    archive->CreateJob(job);
    const auto start = Clock::now();
    archive->AddDownload("bench", download);
    return Seconds(start);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: meridax-bench-archive-postgres SERVER-URI [RECORDS] [ROUNDS]\n");
        return 2;
    }
    const std::string server = argv[1];
    const std::size_t count = argc > 2 ? std::stoul(argv[2]) : 1000000;
    const int rounds = argc > 3 ? std::stoi(argv[3]) : 3;
    TMeraniaArray records;
    ParseDeviceDump(GenerateDeviceDump(count), records);
    char rows[] = "/tmp/meridax-bench-rows-XXXXXX";
    ::close(::mkstemp(rows));
    WriteRows(records, rows);
    TDownload download;
    download.Direction = TDirection::AToB;
    for (const TMeranie& record : records) {
        download.Readings.push_back({record, TDirection::AToB});
    }
    std::printf("%zu records, %d rounds\n", records.size(), rounds);
    for (int round = 1; round <= rounds; ++round) {
        const double add = Add(server, download);
        const double constrained = Copy(server, rows, true);
        const double bare = Copy(server, rows, false);
        std::printf(
            "round %d: AddDownload %.3f s (hash included); psql \\copy into the same "
            "constraints %.3f s (ratio %.2f), into a bare table %.3f s (ratio %.2f)\n",
            round, add, constrained, add / constrained, bare, add / bare);
    }
    std::remove(rows);
    Psql(server, "DROP DATABASE IF EXISTS meridax_bench_archive");
    Psql(server, "DROP DATABASE IF EXISTS meridax_bench_copy");
    return 0;
}
