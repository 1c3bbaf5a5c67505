#include "jobs/DownloadHash.h"

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "jobs/ArchiveErrors.h"

namespace {
struct TDigestContextFree {
    void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};
}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    const std::unique_ptr<EVP_MD_CTX, TDigestContextFree> context(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &size) != 1) {
        throw std::runtime_error("SHA-256 is not available from libcrypto");
    }
    static constexpr char Digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (unsigned int i = 0; i < size; ++i) {
        hex += Digits[digest[i] >> 4];
        hex += Digits[digest[i] & 0x0F];
    }
    return hex;
}

std::string DownloadSha256(const TMeraniaArray& records) {
    TMeasurementTable table;
    FillMeasurementTable(records, table);
    return Sha256Hex(MeasurementFileText(table));
}

std::string ReadingsSha256(const std::vector<TStoredReading>& readings) {
    std::size_t nameBytes = 0;
    for (const TStoredReading& reading : readings)
        nameBytes += reading.Record.Cable.size() + reading.Record.Fiber.size();
    TMeasurementTable table;
    ReserveForDump(table, readings.size(), nameBytes);
    for (const TStoredReading& reading : readings)
        FillListItem(table, reading.Record);
    return Sha256Hex(MeasurementFileText(table));
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
