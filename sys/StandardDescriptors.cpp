#include "sys/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool OpenClosedStandardDescriptors() noexcept {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number: this one, since those below are open by now.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened < 0)
            return false;
        if (opened != fd) {
            const bool moved = ::dup2(opened, fd) == fd;
            ::close(opened);
            if (!moved)
                return false;
        }
    }
    return true;
}
