#include "jobs/Base64.h"

#include <openssl/evp.h>

#include <algorithm>

namespace {
// OpenSSL counts in int: texts are coded in pieces of whole groups (3 bytes, 4 characters).
constexpr std::size_t BytesPerPiece = 3 * 1024 * 1024;
constexpr std::size_t CharactersPerPiece = BytesPerPiece / 3 * 4;
}  // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string text((bytes.size() + 2) / 3 * 4 + 1, '\0');
    std::size_t written = 0;
    for (std::size_t at = 0; at < bytes.size(); at += BytesPerPiece) {
        const std::size_t count = std::min(BytesPerPiece, bytes.size() - at);
        written += static_cast<std::size_t>(EVP_EncodeBlock(
            reinterpret_cast<unsigned char*>(text.data() + written),
            reinterpret_cast<const unsigned char*>(bytes.data() + at), static_cast<int>(count)));
    }
    text.resize(written);
    return text;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string bytes(text.size() / 4 * 3, '\0');
    for (std::size_t at = 0; at < text.size(); at += CharactersPerPiece) {
        const std::size_t count = std::min(CharactersPerPiece, text.size() - at);
        if (EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data() + at / 4 * 3),
                            reinterpret_cast<const unsigned char*>(text.data() + at),
                            static_cast<int>(count)) < 0) {
            return std::nullopt;
        }
    }
    // EVP_DecodeBlock gives the padding's zero bytes too.
    const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    bytes.resize(bytes.size() - padding);
    // It also takes blanks around the text and bits the padding should leave zero: only the
    // text that encoding makes is the bytes' text, so that one logo has one document.
    if (Base64Encode(bytes) != text) {
        return std::nullopt;
    }
    return bytes;
}
