#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// A pseudo-terminal pair: the test holds the master and plays the meter; the code under test
// opens SlavePath() like a serial port.
class TPseudoTerminal {
public:
    TPseudoTerminal();
    ~TPseudoTerminal() noexcept;
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }

    void Send(const std::string& bytes);
    // What the other side sent, up to count bytes, waiting at most wait. While the other side
    // has the port closed (between a close and the next open) it keeps waiting.
    std::string Receive(std::size_t count,
                        std::chrono::milliseconds wait = std::chrono::seconds(10));
    // Closing the master hangs the line up for the slave side.
    void CloseMaster() noexcept;

private:
    int master_ = -1;
    std::string slavePath_;
};
