#include "comm/PosixPortBinding.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "comm/CustomBaud.h"
#include "sys/SystemText.h"

namespace {

struct TSpeed {
    std::uint32_t baud;
    speed_t constant;
};

// The speeds termios names; any other goes through SetCustomBaud.
constexpr TSpeed StandardSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// B0 for a speed termios has no name for.
speed_t StandardSpeed(std::uint32_t baud) {
    for (const TSpeed& speed : StandardSpeeds) {
        if (speed.baud == baud)
            return speed.constant;
    }
    return B0;
}

tcflag_t CharacterSize(std::uint8_t dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

}  // namespace

std::error_code TPosixPortBinding::Open(const std::string& Device) {
    port_.Reset(::open(Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!port_.Valid())
        return ErrnoCode();
    if (::isatty(port_.Get()) == 0) {
        const std::error_code error = ErrnoCode();
        port_.Reset();
        return error;
    }
    // flock holds against every other program, root included; TIOCEXCL only against
    // programs that are not root.
    if (::flock(port_.Get(), LOCK_EX | LOCK_NB) != 0) {
        const std::error_code error = ErrnoCode(errno == EWOULDBLOCK ? EBUSY : errno);
        port_.Reset();
        return error;
    }
    ::ioctl(port_.Get(), TIOCEXCL);
    locked_ = true;
    wake_.Reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!wake_.Valid()) {
        const std::error_code error = ErrnoCode();
        Close();
        return error;
    }
    return {};
}

TLineResult TPosixPortBinding::SetLine(const TLineSettings& Settings) {
    termios line{};
    if (::tcgetattr(port_.Get(), &line) != 0) {
        return {ErrnoCode(), false};
    }
    ::cfmakeraw(&line);
    line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    line.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    line.c_cflag |= CLOCAL | CREAD | CharacterSize(Settings.DataBits);
    switch (Settings.Parity) {
        case ptODD:
            line.c_cflag |= PARENB | PARODD;
            break;
        case ptEVEN:
            line.c_cflag |= PARENB;
            break;
        case ptMARK:
            line.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case ptSPACE:
            line.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    // Linux has no 1.5 stop bits except with five data bits, where CSTOPB means 1.5.
    if (Settings.StopBits != sbONE) {
        line.c_cflag |= CSTOPB;
    }
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    const speed_t speed = StandardSpeed(Settings.Baud);
    if (speed != B0) {
        ::cfsetispeed(&line, speed);
        ::cfsetospeed(&line, speed);
    }
    if (::tcsetattr(port_.Get(), TCSANOW, &line) != 0) {
        return {ErrnoCode(), false};
    }
    if (speed == B0 && Settings.Baud != 0) {
        return {SetCustomBaud(port_.Get(), Settings.Baud), true};
    }
    return {};
}

void TPosixPortBinding::Reset() {
    ::tcflush(port_.Get(), TCIOFLUSH);
    early_.clear();
    // A pseudo-terminal has no modem lines and refuses these with ENOTTY; that is harmless.
    int lines = TIOCM_DTR;
    ::ioctl(port_.Get(), TIOCMBIC, &lines);
    lines = TIOCM_RTS;
    ::ioctl(port_.Get(), TIOCMBIC, &lines);
}

TPortEvents TPosixPortBinding::Wait(bool watchPort, bool wantWrite, int timeoutMs) {
    TPortEvents events;
    if (watchPort && !early_.empty()) {
        events.Readable = true;
        return events;
    }
    pollfd fds[2] = {};
    fds[0].fd = wake_.Get();
    fds[0].events = POLLIN;
    fds[1].fd = port_.Get();
    fds[1].events = static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0));
    const nfds_t count = watchPort ? 2 : 1;
    int ready = 0;
    do {
        ready = ::poll(fds, count, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        return events;
    }
    if ((fds[0].revents & POLLIN) != 0) {
        eventfd_t value = 0;
        ::eventfd_read(wake_.Get(), &value);
        events.Woken = true;
    }
    if (!watchPort) {
        return events;
    }
    const short seen = fds[1].revents;
    if ((seen & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        events.HangUp = true;
        return events;
    }
    events.Writable = (seen & POLLOUT) != 0;
    if ((seen & POLLIN) != 0) {
        events.Readable = true;
        // A tty that has hung up reads as end of file or EIO without setting POLLHUP on every
        // driver. With nothing counted as waiting, one read tells a hang-up from a byte that
        // arrived just now; that byte is kept for Read.
        if (BytesWaiting() == 0) {
            char byte = 0;
            const ssize_t got = ::read(port_.Get(), &byte, 1);
            if (got == 1) {
                early_.push_back(byte);
            } else if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                events.Readable = false;
                events.HangUp = true;
            }
        }
    }
    return events;
}

void TPosixPortBinding::Wake() {
    if (wake_.Valid()) {
        ::eventfd_write(wake_.Get(), 1);
    }
}

std::uint32_t TPosixPortBinding::BytesWaiting() {
    int waiting = 0;
    if (::ioctl(port_.Get(), FIONREAD, &waiting) != 0 || waiting < 0) {
        waiting = 0;
    }
    return static_cast<std::uint32_t>(waiting) + static_cast<std::uint32_t>(early_.size());
}

std::size_t TPosixPortBinding::Read(char* Buffer, std::size_t Count) {
    std::size_t done = 0;
    if (!early_.empty() && Count > 0) {
        done = early_.copy(Buffer, Count);
        early_.erase(0, done);
    }
    while (done < Count) {
        const ssize_t got = ::read(port_.Get(), Buffer + done, Count - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return done;
}

std::size_t TPosixPortBinding::Write(const char* Buffer, std::size_t Count,
                                     std::error_code& Error) {
    std::size_t done = 0;
    while (done < Count) {
        const ssize_t put = ::write(port_.Get(), Buffer + done, Count - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else if (put < 0 && errno != EAGAIN) {
            Error = ErrnoCode();
            break;
        } else {
            break;
        }
    }
    return done;
}

std::uint32_t TPosixPortBinding::ModemBits() {
    // A pseudo-terminal has no modem lines: TIOCMGET fails and no line is reported on.
    int lines = 0;
    if (::ioctl(port_.Get(), TIOCMGET, &lines) != 0) {
        return 0;
    }
    std::uint32_t bits = 0;
    if ((lines & TIOCM_CTS) != 0) {
        bits |= MS_CTS_ON;
    }
    if ((lines & TIOCM_DSR) != 0) {
        bits |= MS_DSR_ON;
    }
    if ((lines & TIOCM_RI) != 0) {
        bits |= MS_RING_ON;
    }
    if ((lines & TIOCM_CD) != 0) {
        bits |= MS_RLSD_ON;
    }
    return bits;
}

bool TPosixPortBinding::ReadCounters(serial_icounter_struct& counters) {
    // Real UARTs and most USB adapters count line changes and errors; a pseudo-terminal
    // refuses TIOCGICOUNT, so no status event is ever reported for it.
    return ::ioctl(port_.Get(), TIOCGICOUNT, &counters) == 0;
}

bool TPosixPortBinding::HasStatusEvents() {
    serial_icounter_struct counters{};
    return ReadCounters(counters);
}

std::uint32_t TPosixPortBinding::StatusEvents() {
    serial_icounter_struct now{};
    if (!ReadCounters(now)) {
        return 0;
    }
    std::uint32_t events = 0;
    if (haveCounters_) {
        if (now.cts != counters_.cts) {
            events |= EV_CTS;
        }
        if (now.dsr != counters_.dsr) {
            events |= EV_DSR;
        }
        if (now.dcd != counters_.dcd) {
            events |= EV_RLSD;
        }
        if (now.rng != counters_.rng) {
            events |= EV_RING;
        }
        if (now.frame != counters_.frame || now.overrun != counters_.overrun ||
            now.parity != counters_.parity || now.brk != counters_.brk ||
            now.buf_overrun != counters_.buf_overrun) {
            events |= EV_ERR;
        }
    }
    counters_ = now;
    haveCounters_ = true;
    return events;
}

void TPosixPortBinding::ReleaseDevice() noexcept {
    if (port_.Valid()) {
        if (locked_) {
            ::ioctl(port_.Get(), TIOCNXCL);
            locked_ = false;
        }
        // poll() skips the descriptor -1 from now on, so only Wake ends a wait.
        port_.Reset();
    }
    early_.clear();
}

void TPosixPortBinding::Close() noexcept {
    ReleaseDevice();
    wake_.Reset();
    haveCounters_ = false;
}
