#pragma once

#include <memory>
#include <string>
#include <string_view>

// libcrypto's digest context, declared here so that users of this header need no OpenSSL one.
struct evp_md_ctx_st;

// SHA-256 fed piece by piece, so that a large text is hashed without ever being whole.
// Throws std::runtime_error when libcrypto cannot give SHA-256.
class TSha256 {
public:
    TSha256();

    void Add(std::string_view bytes);
    // The digest of everything added, as 64 lowercase hex digits; the hash is done with then.
    std::string Hex();

private:
    struct TContextFree {
        void operator()(evp_md_ctx_st* context) const noexcept;
    };

    std::unique_ptr<evp_md_ctx_st, TContextFree> context_;
};
