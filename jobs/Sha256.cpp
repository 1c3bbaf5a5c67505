#include "jobs/Sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace {
[[noreturn]] void Sha256Unavailable() {
    throw std::runtime_error("SHA-256 is not available from libcrypto");
}
}  // namespace

void TSha256::TContextFree::operator()(evp_md_ctx_st* context) const noexcept {
    EVP_MD_CTX_free(context);
}

TSha256::TSha256() : context_(EVP_MD_CTX_new()) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
        Sha256Unavailable();
}

void TSha256::Add(std::string_view bytes) {
    if (EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size()) != 1)
        Sha256Unavailable();
}

std::string TSha256::Hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest, &size) != 1)
        Sha256Unavailable();
    static constexpr char Digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (unsigned int i = 0; i < size; ++i) {
        hex += Digits[digest[i] >> 4];
        hex += Digits[digest[i] & 0x0F];
    }
    return hex;
}
