#include "jobs/RecordsHash.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "data/Latin1Utf8.h"
#include "jobs/CanonicalText.h"
#include "jobs/Sha256.h"

namespace {
// Lines hashed at once: about 400 kB of text.
constexpr std::size_t RecordLinesPerBatch = 4096;

void AppendRecordLine(const TStoredReading& reading, std::string& out) {
    const TMeranie& record = reading.Record;
    AppendEscaped(Latin1ToUtf8(record.Cable), true, out);
    out += '\t';
    AppendEscaped(Latin1ToUtf8(record.Fiber), true, out);
    out += record.IsRelative ? "\trelative\t" : "\tabsolute\t";
    for (const double number : {record.WaveLength, record.Value, record.Reference}) {
        out += Hex16(std::bit_cast<std::uint64_t>(number));
        out += '\t';
    }
    out += DirectionName(reading.Direction);
    out += '\n';
}
}  // namespace

std::string RecordsCanonicalText(const std::vector<TStoredReading>& readings) {
    std::string text = std::string(RecordsHashFormat) + "\n";
    for (const TStoredReading& reading : readings)
        AppendRecordLine(reading, text);
    return text;
}

std::string RecordsSha256(const std::vector<TStoredReading>& readings) {
    TSha256 sha;
    std::string batch = std::string(RecordsHashFormat) + "\n";
    for (std::size_t first = 0; first < readings.size(); first += RecordLinesPerBatch) {
        const std::size_t end = std::min(readings.size(), first + RecordLinesPerBatch);
        for (std::size_t i = first; i < end; ++i)
            AppendRecordLine(readings[i], batch);
        sha.Add(batch);
        batch.clear();
    }
    sha.Add(batch);
    return sha.Hex();
}
