#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>

#include "sys/UniqueFd.h"
#include "tools/meter-sim/SimOptions.h"

// The meter's side of a pseudo-terminal: reads requests from the master, queues replies and
// writes them out in the chunks and at the pace the options ask for. One poll() sleeps on the
// master and on the termination signals; a timeout is set only while a paced chunk is due.
class TMeterServer {
public:
    // Blocks SIGINT, SIGTERM and SIGHUP for the calling thread (call it before other threads
    // exist) and opens the pseudo-terminal. Throws std::runtime_error.
    TMeterServer(const TSimOptions& options, std::string dumpReply);
    TMeterServer(const TMeterServer&) = delete;
    TMeterServer& operator=(const TMeterServer&) = delete;

    const std::string& PortPath() const noexcept { return portPath_; }

    // Serves until a termination signal, or until the hang-up fault has hung up.
    void Run();

private:
    using TClock = std::chrono::steady_clock;

    void OnRequest(char request);
    void Queue(const std::string& bytes);
    // Writes one chunk; false when the hang-up fault has just hung up.
    bool SendChunk();
    std::size_t NextChunkSize();

    TSimOptions options_;
    std::string dumpReply_;
    std::string portPath_;
    TUniqueFd master_;
    // Held open so that the master never reads EIO while no client has the port open.
    TUniqueFd slave_;
    TUniqueFd signals_;
    std::mt19937 random_;

    std::string queue_;
    std::size_t queueAt_ = 0;
    std::uint64_t queuedTotal_ = 0;
    std::uint64_t sentTotal_ = 0;
    std::uint64_t hangUpAt_ = UINT64_MAX;
    bool endless_ = false;
    TClock::time_point notBefore_{};
    TClock::time_point paceStart_{};
    std::uint64_t pacedBytes_ = 0;
};
