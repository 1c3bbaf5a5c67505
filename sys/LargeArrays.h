#pragma once

#include <cstddef>

// Asks the kernel to back a large, freshly reserved array with huge pages. Filling a
// hundred megabytes of 4 KiB pages costs more in page faults than parsing the dump does;
// pages never written stay out of memory either way. Only a hint: ignored where the kernel
// does not offer transparent huge pages.
void AdviseHugePages(const void* data, std::size_t bytes) noexcept;
