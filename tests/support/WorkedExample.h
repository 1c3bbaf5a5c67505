#pragma once

#include <string>

// "09 08 06 00" -> those four bytes; pairs of hex digits, each followed by one blank or the end.
std::string HexBytes(const std::string& text);
// The bytes as "09 08 06 00".
std::string HexText(const std::string& bytes);

// The bytes the export's worked example must give in every way it is reached (the export
// functions, meridax-cli convert, the window). The example: page Relative with the rows
// 1 1 1310 0.25 -10.5, 1 2 1310 0.31 -10.5 and 1 2 1550 0.3 -10.4, the first and the third
// ticked, the meter "DEVICE-1    0042" connected, decimal separator ",".

// With the device line and the header the .xls is 302 bytes; its first 34: BOF, DIMENSIONS
// and the head of the device's LABEL (row 0, column 0, eight characters).
inline constexpr const char* WorkedExampleXlsHead =
    "09 08 06 00 00 00 10 00 00 00 00 00 08 00 00 00 FF FF 00 00 64 00 "
    "04 00 10 00 00 00 00 00 00 00 00 08";

// Without either line and only the first row ticked: 101 bytes.
inline constexpr const char* WorkedExampleFirstRowXls =
    "09 08 06 00 00 00 10 00 00 00 "
    "00 00 08 00 00 00 FF FF 00 00 64 00 "
    "04 00 09 00 00 00 00 00 00 00 00 01 31 "
    "04 00 09 00 00 00 01 00 00 00 00 01 31 "
    "04 00 0C 00 00 00 02 00 00 00 00 04 31 33 31 30 "
    "04 00 0C 00 00 00 03 00 00 00 00 04 30 2C 32 35 "
    "04 00 0D 00 00 00 04 00 00 00 00 05 2D 31 30 2C 35 "
    "0A 00 00 00";

// The clipboard text with the device line and the header (its separator is always ".").
inline constexpr const char* WorkedExampleClipboardText =
    "DEVICE-1\t0042\r\n"
    "Cable\tFiber\tWaveLength\tdB\tReference\t\r\n"
    "1\t1\t1310\t0.25\t-10.5\r\n"
    "1\t2\t1550\t0.3\t-10.4\r\n";

// An .xls without any cell: BOF, DIMENSIONS, EOF; 26 bytes.
inline constexpr const char* EmptyXls =
    "09 08 06 00 00 00 10 00 00 00 00 00 08 00 00 00 FF FF 00 00 64 00 0A 00 00 00";

// The measurement file of the records 1 1 1310 -3.52 and 1 2 1550 -0.41 -10.
inline constexpr const char* TwoRecordsMxe = "1@1@1310@-3.52^1@2@1550@-0.41@-10^\r\n";
