#include "session/SessionStatus.h"

#include <cerrno>

#include "sys/SystemText.h"

const char* const DialoutHint =
    "add your user to the dialout group (sudo usermod -aG dialout $USER), then log in again";

namespace {

const char* const PreviousKept = "the previous measurements are kept";

bool Is(const std::error_code& code, int errorNumber) {
    return code == std::errc(errorNumber);
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

std::string OpenFailureStatus(const std::string& port, const std::error_code& code) {
    if (Is(code, EACCES) || Is(code, EPERM)) {
        return "No permission to open " + port + ": " + DialoutHint;
    }
    if (Is(code, EBUSY)) {
        return port + " is busy: another program has it open";
    }
    if (Is(code, ENOENT) || Is(code, ENODEV) || Is(code, ENXIO)) {
        return port + " is missing: the adapter may have been unplugged (Refresh ports)";
    }
    return "Cannot open " + port + (code ? ": " + SystemErrorText(code) : std::string());
}

std::string DeniedPortsStatus(std::size_t count) {
    return std::to_string(count) +
           (count == 1 ? " serial port exists that you may not open: "
                       : " serial ports exist that you may not open: ") +
           DialoutHint;
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
