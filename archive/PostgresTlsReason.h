#pragma once

#include <string>
#include <string_view>

// What a connection that failed its TLS check means, in a technician's words, read from
// libpq's reason (libpq gives these failures no code of their own): a root certificate
// missing, a certificate for another host name, one not signed by the root certificate
// given. "" for any other reason.
std::string PostgresTlsExplanation(std::string_view reason);
