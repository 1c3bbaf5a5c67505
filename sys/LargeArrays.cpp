#include "sys/LargeArrays.h"

#include <sys/mman.h>

#include <cstdint>

void AdviseHugePages(const void* data, std::size_t bytes) noexcept {
    constexpr std::size_t Worthwhile = 8u << 20;
    constexpr std::uintptr_t Page = 4096;
    if (data == nullptr || bytes < Worthwhile)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + Page - 1) & ~(Page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(Page - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}
