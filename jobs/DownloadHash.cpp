#include "jobs/DownloadHash.h"

#include <algorithm>
#include <stdexcept>

#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/Sha256.h"

namespace {
// Readings hashed a piece at a time: a measurement file's text is its rows' texts one after the
// other, so the pieces' texts hash as the whole text does, without the whole table and text
// of a million readings (49 MB) beside them.
constexpr std::size_t ReadingsPerHashPiece = 4096;

// The whole text's table, only for the message of a reading the file cannot hold, which names
// its row.
[[noreturn]] void RefuseAsTheWholeTable(const std::vector<TStoredReading>& readings) {
    TMeasurementTable table;
    for (const TStoredReading& reading : readings)
        FillListItem(table, reading.Record);
    MeasurementFileText(table);
    throw std::logic_error("a piece of the readings was refused, their whole text was not");
}

}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    TSha256 sha;
    sha.Add(bytes);
    return sha.Hex();
}

std::string DownloadSha256(const TMeraniaArray& records) {
    TMeasurementTable table;
    FillMeasurementTable(records, table);
    return Sha256Hex(MeasurementFileText(table));
}

std::string ReadingsSha256(const std::vector<TStoredReading>& readings) {
    TSha256 sha;
    TMeasurementTable piece;
    for (std::size_t first = 0; first < readings.size(); first += ReadingsPerHashPiece) {
        const std::size_t end = std::min(readings.size(), first + ReadingsPerHashPiece);
        piece.Clear();
        for (std::size_t i = first; i < end; ++i)
            FillListItem(piece, readings[i].Record);
        try {
            sha.Add(MeasurementFileText(piece));
        } catch (const EUnsavableText&) {
            RefuseAsTheWholeTable(readings);
        }
    }
    return sha.Hex();
}

std::string DownloadHashFor(const std::string& jobName, const TDownload& download) {
    if (!download.Sha256.empty()) {
        return download.Sha256;
    }
    try {
        return ReadingsSha256(download.Readings);
    } catch (const EUnsavableText& error) {
        throw EArchiveError(TArchiveErrc::BadInput,
                            "job " + jobName + " cannot take these records: " + error.what());
    }
}
