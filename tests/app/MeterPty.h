#pragma once

#include <chrono>
#include <string>

// The meter's end of a pseudo-terminal: the window opens SlavePath() as its serial port.
class TMeterPty {
public:
    TMeterPty();
    ~TMeterPty() noexcept;
    TMeterPty(const TMeterPty&) = delete;
    TMeterPty& operator=(const TMeterPty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    void Send(const std::string& bytes);
    // What the window sent, up to count bytes, waiting at most wait.
    std::string Receive(std::size_t count,
                        std::chrono::milliseconds wait = std::chrono::seconds(10));
    // The meter goes away: the window's side sees a hang-up.
    void HangUp() noexcept;

private:
    int master_ = -1;
    std::string slavePath_;
};
