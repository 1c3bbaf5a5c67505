#pragma once

#include <string>

#include "archive/Archive.h"

// "direction B→A, date 2026-11-05, operator Ben": what a fix changed, as the status line says it.
std::string FixText(const TDownloadFix& fix);
