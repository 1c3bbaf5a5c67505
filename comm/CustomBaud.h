#pragma once

#include <cstdint>
#include <system_error>

// Sets an arbitrary speed with termios2 and BOTHER, keeping every other line setting. Kept
// apart because <linux/termios.h> cannot share a translation unit with <termios.h>. Gives the
// system's code when the device refuses.
std::error_code SetCustomBaud(int fd, std::uint32_t baud);
