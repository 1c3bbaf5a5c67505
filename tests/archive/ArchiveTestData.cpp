#include "ArchiveTestData.h"

#include <bit>
#include <cstdint>

TDownload SampleDownload(const std::string& prefix, int count, TDirection direction) {
    TDownload download;
    download.Meter = "OLM-3 " + prefix;
    download.Source = "/dev/ttyUSB0";
    download.Operator = "Jana";
    download.TestDate = "2026-11-30";
    download.Direction = direction;
    for (int i = 1; i <= count; ++i) {
        TStoredReading reading;
        reading.Record = {prefix + std::to_string(i),
                          std::to_string(i),
                          i % 2 == 0 ? 1550.0 : 1310.0,
                          0.25 * i,
                          -3.5 - i,
                          true};
        reading.Direction = direction;
        download.Readings.push_back(reading);
    }
    return download;
}

namespace {
bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool SameReading(const TStoredReading& a, const TStoredReading& b) {
    return a.Record.Cable == b.Record.Cable && a.Record.Fiber == b.Record.Fiber &&
           SameBits(a.Record.WaveLength, b.Record.WaveLength) &&
           SameBits(a.Record.Value, b.Record.Value) &&
           SameBits(a.Record.Reference, b.Record.Reference) &&
           a.Record.IsRelative == b.Record.IsRelative && a.Direction == b.Direction;
}
}  // namespace

testing::AssertionResult SameDownload(const TDownload& expected, const TDownload& actual) {
    if (!(expected == actual)) {
        return testing::AssertionFailure() << "download " << actual.Number << " differs";
    }
    for (std::size_t i = 0; i < expected.Readings.size(); ++i) {
        if (!SameReading(expected.Readings[i], actual.Readings[i])) {
            return testing::AssertionFailure()
                   << "reading " << i << " of download " << actual.Number << " differs in its bits";
        }
    }
    return testing::AssertionSuccess();
}

TJob SampleJob(const std::string& name) {
    TJob job;
    job.Name = name;
    job.Customer = "Stadtwerke Köln";
    job.Site = "Hall 3; floor 2";
    job.Contractor = "O'Brien & Söhne";
    job.Notes = "100% of the risers\nsecond line";
    return job;
}
