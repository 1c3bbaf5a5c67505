#pragma once

#include <cstdint>

// Sets an arbitrary speed with termios2 and BOTHER, keeping every other line setting. Kept
// apart because <linux/termios.h> cannot share a translation unit with <termios.h>.
bool SetCustomBaud(int fd, std::uint32_t baud);
