#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "comm/EnumComPorts.h"

// The status line's texts, one place for the window and the command-line tool. Plain 7-bit
// text: the window shows it as it is.

// How a user gets the right to open serial ports on Debian and its kin.
extern const char* const DialoutHint;
// How this user gets the right to open a device of that access: join the group that owns it,
// or, when its group may not use it either, what to ask for instead. DialoutHint when the
// access is not known.
std::string PermissionHint(const TDeviceAccess& access);

// The port is open and the meter has not yet told its name.
std::string AskingNameStatus(const std::string& port, std::uint32_t baud);
// The meter has told its name.
std::string ConnectedStatus(const std::string& port, std::uint32_t baud);
std::string NoAnswerStatus(const std::string& port, std::uint32_t baud);
// Why port could not be opened, decided by code: busy, permission, missing, or the system's
// own text for anything else.
std::string OpenFailureStatus(const std::string& port, const std::error_code& code);
// The device opened but refused a line setting: the speed baud when speed, else the others.
std::string LineRefusal(std::uint32_t baud, bool speed, const std::error_code& code);
std::string LineRefusedStatus(const std::string& port, std::uint32_t baud, bool speed,
                              const std::error_code& code);
// A request could not be sent.
std::string WriteFailureStatus(const std::string& port, const std::error_code& code);
// The name reply was followed by extra, which the status shows escaped.
std::string UnexpectedAfterNameStatus(const std::string& port, const std::string& extra);
// count ports exist that this user may not open; how to fix it (hint: PermissionHint's).
std::string DeniedPortsStatus(std::size_t count, const std::string& hint = DialoutHint);
// A request waits for the line to go quiet: why it is busy and how long the wait may last.
std::string WaitingForQuietStatus(const std::string& port, const std::string& why,
                                  long long seconds);
// The port list was filled again; importEnded when an import under way ended with it.
std::string PortsFoundStatus(std::size_t count, bool importEnded);
// The meter's dump did not read; what says why.
std::string DumpRejectedStatus(const std::string& what);
std::string LineBusyStatus(const std::string& port, long long seconds);
std::string ImportCancelledStatus();
std::string ImportSilenceStatus(const std::string& port, long long seconds);
std::string ImportTooLargeStatus(std::size_t maxBytes);
std::string HangUpStatus(const std::string& port, bool duringImport);
