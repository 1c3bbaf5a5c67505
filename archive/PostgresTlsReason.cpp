#include "archive/PostgresTlsReason.h"

namespace {

// The text between after and the next closing, looked for from the start of reason; nothing
// when either is missing.
std::string_view TlsQuoted(std::string_view reason, std::string_view after,
                           std::string_view closing = "\"") {
    const std::size_t begin = reason.find(after);
    if (begin == std::string_view::npos)
        return {};
    const std::size_t from = begin + after.size();
    const std::size_t end = reason.find(closing, from);
    return end == std::string_view::npos ? std::string_view() : reason.substr(from, end - from);
}

}  // namespace

std::string PostgresTlsExplanation(std::string_view reason) {
    if (const std::string_view file =
            TlsQuoted(reason, "root certificate file \"", "\" does not exist");
        !file.empty()) {
        return "the root certificate " + std::string(file) +
               " to check the server with does not exist (sslrootcert names the CA "
               "certificate of the server)";
    }
    const std::string_view certified = TlsQuoted(reason, "server certificate for \"");
    const std::string_view host = TlsQuoted(reason, "does not match host name \"");
    if (!certified.empty() && !host.empty()) {
        return "the server's certificate is for " + std::string(certified) + ", not " +
               std::string(host) +
               " (sslmode=verify-full checks the host name: connect to the name the "
               "certificate is for)";
    }
    if (reason.find("certificate verify failed") != std::string_view::npos) {
        return "the server's certificate is not signed by the root certificate given "
               "(sslrootcert names the CA certificate of the server)";
    }
    return {};
}
