#include "session/SessionStatus.h"

#include <cerrno>

#include "sys/SystemText.h"

const char* const DialoutHint =
    "add your user to the dialout group (sudo usermod -aG dialout $USER), then log in again";

namespace {

std::string OctalMode(unsigned mode) {
    std::string text;
    for (int shift = 9; shift >= 0; shift -= 3) {
        text += static_cast<char>('0' + ((mode >> shift) & 7u));
    }
    return text;
}

const char* const PreviousKept = "the previous measurements are kept";

bool Is(const std::error_code& code, int errorNumber) {
    return code == std::errc(errorNumber);
}

// Line noise is mostly unprintable; a status line can only show it escaped, and not too much.
std::string EscapedBytes(const std::string& bytes) {
    constexpr std::size_t MaxShown = 32;
    static const char* const Hex = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < MaxShown; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\\' || byte == '"') {
            text += '\\';
            text += static_cast<char>(byte);
        } else if (byte == '\r') {
            text += "\\r";
        } else if (byte == '\n') {
            text += "\\n";
        } else if (byte == '\t') {
            text += "\\t";
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += static_cast<char>(byte);
        } else {
            text += "\\x";
            text += Hex[byte >> 4];
            text += Hex[byte & 0x0F];
        }
    }
    if (bytes.size() > MaxShown) {
        text += "...";
    }
    return text;
}

}  // namespace

std::string AskingNameStatus(const std::string& port, std::uint32_t baud) {
    return "Opened " + port + " at " + std::to_string(baud) +
           " baud; asking the meter for its name...";
}

std::string ConnectedStatus(const std::string& port, std::uint32_t baud) {
    return "Connected to " + port + " at " + std::to_string(baud) + " baud";
}

std::string NoAnswerStatus(const std::string& port, std::uint32_t baud) {
    return "The meter on " + port + " did not answer at " + std::to_string(baud) +
           " baud: check the cable, the meter's power and the baud rate (Options > Serial port "
           "settings)";
}

std::string PermissionHint(const TDeviceAccess& access) {
    if (!access.Known) {
        return DialoutHint;
    }
    if (access.GroupMayUse) {
        return "add your user to the " + access.Group + " group (sudo usermod -aG " + access.Group +
               " $USER), then log in again";
    }
    return "joining a group would not help: only its owner " + access.Owner + " may open it (" +
           access.Owner + ":" + access.Group + ", mode " + OctalMode(access.Mode) +
           "); a udev rule for the adapter can let you in (see the README, Serial port "
           "permissions)";
}

std::string OpenFailureStatus(const std::string& port, const std::error_code& code) {
    if (Is(code, EACCES) || Is(code, EPERM)) {
        return "No permission to open " + port + ": " + PermissionHint(DeviceAccess(port));
    }
    if (Is(code, EBUSY)) {
        return port + " is busy: another program has it open";
    }
    if (Is(code, ENOENT) || Is(code, ENODEV) || Is(code, ENXIO)) {
        return port + " is missing: the adapter may have been unplugged (Refresh ports)";
    }
    return "Cannot open " + port + (code ? ": " + SystemErrorText(code) : std::string());
}

std::string LineRefusal(std::uint32_t baud, bool speed, const std::error_code& code) {
    return (speed ? "the port refused " + std::to_string(baud) + " baud: "
                  : std::string("the port refused its line settings: ")) +
           SystemErrorText(code);
}

std::string LineRefusedStatus(const std::string& port, std::uint32_t baud, bool speed,
                              const std::error_code& code) {
    return "Cannot use " + port + ": " + LineRefusal(baud, speed, code);
}

std::string WriteFailureStatus(const std::string& port, const std::error_code& code) {
    return "Cannot send to the meter on " + port + ": " + SystemErrorText(code);
}

std::string UnexpectedAfterNameStatus(const std::string& port, const std::string& extra) {
    return "The meter on " + port + " answered with unexpected bytes after its name: \"" +
           EscapedBytes(extra) + "\"; check the cable and the baud rate";
}

std::string DeniedPortsStatus(std::size_t count, const std::string& hint) {
    return std::to_string(count) +
           (count == 1 ? " serial port exists that you may not open: "
                       : " serial ports exist that you may not open: ") +
           hint;
}

std::string WaitingForQuietStatus(const std::string& port, const std::string& why,
                                  long long seconds) {
    return "Waiting for the busy line on " + port + " to go quiet: " + why + "; up to " +
           std::to_string(seconds) + " s";
}

std::string LineBusyStatus(const std::string& port, long long seconds) {
    return "The line on " + port + " stayed busy for " + std::to_string(seconds) +
           " s: the meter is still sending; try again when it has finished";
}

std::string PortsFoundStatus(std::size_t count, bool importEnded) {
    std::string text =
        count == 0
            ? std::string("No serial port found: plug the meter's cable in, then Refresh ports")
        : count == 1 ? std::string("1 serial port found: choose it to connect")
                     : std::to_string(count) + " serial ports found: choose one to connect";
    if (importEnded) {
        text += "; the import was ended and " + std::string(PreviousKept);
    }
    return text;
}

std::string DumpRejectedStatus(const std::string& what) {
    return "The meter's dump did not read (" + what + "); " + PreviousKept;
}

std::string ImportCancelledStatus() {
    return std::string("Import cancelled; ") + PreviousKept;
}

std::string ImportSilenceStatus(const std::string& port, long long seconds) {
    return "No byte from the meter on " + port + " for " + std::to_string(seconds) +
           " s: the import was ended; " + PreviousKept;
}

std::string ImportTooLargeStatus(std::size_t maxBytes) {
    return "The import was ended at " + std::to_string(maxBytes >> 20) +
           " MB, more than a meter holds; " + PreviousKept;
}

std::string HangUpStatus(const std::string& port, bool duringImport) {
    if (duringImport) {
        return "The meter on " + port + " hung up during the import; " + PreviousKept;
    }
    return "The meter on " + port + " hung up";
}
