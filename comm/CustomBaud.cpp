#include "comm/CustomBaud.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

std::error_code SetCustomBaud(int fd, std::uint32_t baud) {
    termios2 settings{};
    if (::ioctl(fd, TCGETS2, &settings) != 0) {
        return {errno, std::generic_category()};
    }
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = baud;
    settings.c_ospeed = baud;
    if (::ioctl(fd, TCSETS2, &settings) != 0) {
        return {errno, std::generic_category()};
    }
    return {};
}
