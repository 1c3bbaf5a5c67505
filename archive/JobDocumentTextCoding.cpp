#include "archive/JobDocumentTextCoding.h"

#include <openssl/evp.h>

#include <array>
#include <memory>
#include <stdexcept>

#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"

std::string DocumentTextFromLatin1(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::optional<std::string> Latin1FromDocumentText(std::string_view utf8) {
    std::string latin1;
    latin1.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            latin1 += utf8[i];
            continue;
        }
        // Only C2 and C3 lead the two-byte forms of U+0080 to U+00FF.
        if ((byte != 0xC2 && byte != 0xC3) || i + 1 == utf8.size()) {
            return std::nullopt;
        }
        const auto next = static_cast<unsigned char>(utf8[++i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        latin1 += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
    }
    return latin1;
}

namespace {
struct TDigestContextFree {
    void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};

std::string Sha256Hex(std::string_view bytes) {
    const std::unique_ptr<EVP_MD_CTX, TDigestContextFree> context(EVP_MD_CTX_new());
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest.data(), &size) != 1) {
        throw std::runtime_error("SHA-256 is not available");
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
}  // namespace

std::string RecordsSha256(const TMeraniaArray& records) {
    TMeasurementTable table;
    FillMeasurementTable(records, table);
    return Sha256Hex(MeasurementFileText(table));
}
