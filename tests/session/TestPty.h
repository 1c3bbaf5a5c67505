#pragma once

#include <chrono>
#include <string>

// The master side of a pseudo-terminal; the component opens SlavePath() like a serial port.
class TTestPty {
public:
    TTestPty();
    ~TTestPty() noexcept;
    TTestPty(const TTestPty&) = delete;
    TTestPty& operator=(const TTestPty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    void Send(const std::string& bytes);
    // Reads until count bytes came or the wait ran out; returns what came.
    std::string Receive(std::size_t count,
                        std::chrono::milliseconds wait = std::chrono::seconds(10));
    // Closing the master hangs the line up for the slave side.
    void CloseMaster() noexcept;

private:
    int master_ = -1;
    std::string slavePath_;
};
