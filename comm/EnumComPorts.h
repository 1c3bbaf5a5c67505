#pragma once

#include <string>
#include <vector>

// Appends the serial ports that can be opened right now, in the order /dev/ttyS0..255,
// ttyUSB, ttyACM, ttyAMA, rfcomm, ttyV. A null List does nothing; List is not emptied.
void EnumComPorts(std::vector<std::string>* List);

// The same over an explicit candidate list (for tests).
void EnumComPorts(std::vector<std::string>* List, const std::vector<std::string>& candidates);

// The device names EnumComPorts tries, in order (1,536 of them); folder is /dev but for tests.
std::vector<std::string> DefaultComPortCandidates(const std::string& folder = "/dev");

// Whether Device is a serial port that this program could open exclusively at this moment.
bool ComPortAvailable(const std::string& Device);
