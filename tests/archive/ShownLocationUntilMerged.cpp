// The archive's location rules come with the SQLite back end; until they are in this tree,
// the PostgreSQL tests link this much of them: a URI's password replaced by "***".
#include <string>

#include "archive/Archive.h"

std::string ShownLocation(const std::string& location) {
    const std::size_t scheme = location.find("://");
    if (scheme == std::string::npos) {
        return location;
    }
    const std::size_t end = location.find_first_of("/?", scheme + 3);
    const std::size_t at = location.rfind('@', end);
    const std::size_t colon = location.find(':', scheme + 3);
    if (at == std::string::npos || at < scheme || colon == std::string::npos || colon > at) {
        return location;
    }
    return location.substr(0, colon + 1) + "***" + location.substr(at);
}
