#include "archive/PostgresReadings.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <tuple>

#include <pqxx/result>
#include <pqxx/stream_to>

#include "data/Latin1Utf8.h"

std::string DoubleText(double value) {
    // PostgreSQL's own words for what to_chars writes as "inf" and "nan".
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Infinity" : "Infinity";
    }
    char buffer[32];
    const auto [end, errc] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

double ParseDoubleText(std::string_view text) {
    double value = 0;
    const auto [end, errc] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (errc != std::errc() || end != text.data() + text.size()) {
        throw std::invalid_argument("not a number: " + std::string(text));
    }
    return value;
}

void CopyReadings(pqxx::transaction_base& tx, std::int64_t downloadId,
                  const std::vector<TStoredReading>& readings) {
    static const std::vector<std::string> columns = {"download_id", "seq",         "cable",
                                                     "fiber",       "wavelength",  "value",
                                                     "reference",   "is_relative", "direction"};
    pqxx::stream_to stream(tx, "readings", columns);
    int seq = 0;
    for (const TStoredReading& reading : readings) {
        const TMeranie& record = reading.Record;
        stream << std::make_tuple(downloadId, ++seq, Latin1ToUtf8(record.Cable),
                                  Latin1ToUtf8(record.Fiber), DoubleText(record.WaveLength),
                                  DoubleText(record.Value), DoubleText(record.Reference),
                                  record.IsRelative, DirectionName(reading.Direction));
    }
    stream.complete();
}

namespace {
std::string_view FieldText(const pqxx::field& field) {
    return {field.c_str(), field.size()};
}
}  // namespace

std::vector<TStoredReading> ReadReadings(pqxx::transaction_base& tx, std::int64_t downloadId) {
    const pqxx::result rows = tx.exec_params(
        "SELECT cable, fiber, wavelength, value, reference, is_relative, direction"
        " FROM readings WHERE download_id = $1 ORDER BY seq",
        downloadId);
    std::vector<TStoredReading> readings;
    readings.reserve(rows.size());
    for (const pqxx::row& row : rows) {
        TStoredReading reading;
        std::optional<std::string> cable = Utf8ToLatin1(FieldText(row[0]));
        std::optional<std::string> fiber = Utf8ToLatin1(FieldText(row[1]));
        if (!cable || !fiber) {
            throw std::runtime_error(
                "a download holds a cable or fibre name that the meter's character set cannot "
                "hold");
        }
        reading.Record.Cable = std::move(*cable);
        reading.Record.Fiber = std::move(*fiber);
        reading.Record.WaveLength = ParseDoubleText(FieldText(row[2]));
        reading.Record.Value = ParseDoubleText(FieldText(row[3]));
        reading.Record.Reference = ParseDoubleText(FieldText(row[4]));
        reading.Record.IsRelative = FieldText(row[5]) == "t";
        reading.Direction = FindDirection(FieldText(row[6])).value_or(TDirection::None);
        readings.push_back(std::move(reading));
    }
    return readings;
}
