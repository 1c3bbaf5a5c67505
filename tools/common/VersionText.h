#pragma once

#include <string>

// What --version prints, as GNU programs print it: the program's name and version, then its
// copyright and licence (the last line without its newline, which the caller ends).
inline std::string VersionText(const std::string& nameAndVersion) {
    return nameAndVersion +
           "\nCopyright (C) 2026 MERIDAX developers\n"
           "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.";
}
