// The texts that name a download's readings, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/DownloadHash.h"
#include "jobs/RecordsHash.h"

namespace {

TStoredReading Reading(const std::string& cable, const std::string& fiber, bool relative,
                       double waveLength, double value, double reference,
                       TDirection direction = TDirection::None) {
    return {{cable, fiber, waveLength, value, reference, relative}, direction};
}

// Two readings: Latin-1 names with a TAB, a backslash, a CR and "é" (byte E9); one relative,
// one absolute with -0.0 and its own direction. The hash is Python's hashlib.sha256 of the text.
TEST(RecordsHashTest, WorkedExampleGivesTheseBytesAndHash) {
    const std::vector<TStoredReading> readings = {
        Reading("A\tB\\\xE9", "1", true, 1310, 0.42, -10),
        Reading("C", "2\r", false, 1550, -0.0, 0.0, TDirection::BToA)};
    EXPECT_EQ(
        RecordsCanonicalText(readings),
        "meridax-records-2\n"
        "A\\tB\\\\\xC3\xA9\t1\trelative\t4094780000000000\t3fdae147ae147ae1\tc024000000000000\t\n"
        "C\t2\\r\tabsolute\t4098380000000000\t8000000000000000\t0000000000000000\tb-a\n");
    EXPECT_EQ(RecordsSha256(readings),
              "91642f663e2d5bfb0e0b4da313c490130b4c5be98954c79b089ad7af6d20d7fa");
    EXPECT_EQ(RecordsSha256({}), Sha256Hex("meridax-records-2\n"));

    // Each bit counts, where the measurement file's text rounds (and cannot hold a TAB).
    const std::string hash = RecordsSha256(readings);
    std::vector<std::vector<TStoredReading>> variants(4, readings);
    variants[0][1].Record.Value = 0.0;
    variants[1][0].Record.Value = 0.4200000000000001;
    variants[2][1].Direction = TDirection::None;
    variants[3][0].Record.IsRelative = false;
    for (const auto& variant : variants)
        EXPECT_NE(RecordsSha256(variant), hash);
}

// Hashed in batches, the text of many readings hashes as the whole text does.
TEST(RecordsHashTest, BatchesHashAsTheWholeText) {
    std::vector<TStoredReading> readings;
    for (int i = 0; i < 10000; ++i)
        readings.push_back(Reading(std::to_string(i % 7), std::to_string(i), i % 2 == 0, 1310,
                                   -0.01 * i, -10, static_cast<TDirection>(i % 3)));
    EXPECT_EQ(RecordsSha256(readings), Sha256Hex(RecordsCanonicalText(readings)));
}

}  // namespace
