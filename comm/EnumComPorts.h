#pragma once

#include <optional>
#include <string>
#include <system_error>
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

// What opening a candidate that exists would give this user now.
enum class TPortState {
    Available,
    Busy,              // another program has it open exclusively (EBUSY, a lock)
    PermissionDenied,  // EACCES or EPERM: the user may not open it
    NotSerial,         // not a terminal, or a legacy UART node without hardware
    Failed,            // any other refusal; Error says which
};

// Who may open a device, from its inode: what a user can do about a refusal.
struct TDeviceAccess {
    bool Known = false;        // the device could be looked at
    std::string Owner;         // user name, or the number when it has none
    std::string Group;         // group name, or the number when it has none
    unsigned Mode = 0;         // permission bits (0660, 0600, ...)
    bool GroupMayUse = false;  // the group may read and write it: joining that group helps
};

// The access of Device; Known false when it cannot be looked at.
TDeviceAccess DeviceAccess(const std::string& Device);

struct TPortCandidate {
    std::string Device;
    TPortState State = TPortState::Available;
    // The system's code for Busy, PermissionDenied and Failed.
    std::error_code Error;
    // Filled for PermissionDenied.
    TDeviceAccess Access;
};

// The state of Device; nothing when it does not exist.
std::optional<TPortCandidate> ProbeComPort(const std::string& Device);

// The candidates that exist, with their states, in the candidates' order.
std::vector<TPortCandidate> ProbeComPorts(const std::vector<std::string>& candidates);
