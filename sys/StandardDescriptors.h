#pragma once

// Opens /dev/null on each of standard input, output and error that is closed. Run first
// thing in main: a program started with them closed would otherwise hand their numbers to
// the next files it opens, a serial port for one, and write its messages into them.
// Gives false when /dev/null cannot be opened.
bool OpenClosedStandardDescriptors() noexcept;
