#pragma once

#include <signal.h>

#include <string>
#include <thread>

#include "sys/UniqueFd.h"

// While it lives, SIGINT, SIGTERM and SIGHUP end the process in order: a thread of its own
// takes them, removes the temporary files of the replacements under way (so that no hidden
// half-written file stays beside the output), writes message to standard error and exits
// with 128 + signal. Made before any other thread, which would inherit the signal mask.
class TStopSignalWatch {
public:
    explicit TStopSignalWatch(std::string message);
    // A signal that came after the thread stopped acts now, as it would have without this.
    ~TStopSignalWatch() noexcept;
    TStopSignalWatch(const TStopSignalWatch&) = delete;
    TStopSignalWatch& operator=(const TStopSignalWatch&) = delete;

private:
    void Watch() noexcept;

    std::string message_;
    sigset_t previous_{};
    TUniqueFd signals_;
    TUniqueFd stop_;
    std::thread thread_;
};
