#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The pieces of the texts that hashes are made of (a download's records, a job's events), in
// one place, so that each byte of those texts is written one way only.

// Appends text with a backslash, LF and CR written \\ \n \r, and TAB written \t when escapeTab,
// so that the text cannot end its line (or its TAB-separated field) early.
void AppendEscaped(std::string_view text, bool escapeTab, std::string& out);

// The 16 lowercase hex digits of the number, leading zeros kept.
std::string Hex16(std::uint64_t number);
