#pragma once

#include <string>
#include <string_view>

// A workbook keeps a character that XML 1.0 cannot hold (the C0 controls but TAB and line
// feed; a carriage return too, which XML readers turn into a line feed) as "_xHHHH_", its
// code in four hex digits. Readers turn such a sequence back into its character, so a text
// that holds one literally has its "_" written as "_x005F_".

// The 8-bit (Latin-1) text as a cell's UTF-8 text: literal "_xHHHH_" sequences escaped
// first, then the controls.
std::string XlsxCellText(std::string_view latin1);
void AppendXlsxCellText(std::string_view latin1, std::string& out);
// The same for a text that is UTF-8 already.
void AppendXlsxUtf8CellText(std::string_view utf8, std::string& out);

// The 8-bit text as UTF-8 for the document properties, which no reader unescapes: a control
// XML cannot hold becomes U+FFFD, so that the part stays well-formed XML and a literal
// "_x000B_" still reads differently from a control byte.
std::string XlsxPropertyText(std::string_view latin1);
// The same for a text that is UTF-8 already (a budget's launch condition, say).
std::string XlsxUtf8PropertyText(std::string_view utf8);

// The double a number cell is given for value: value itself, but for a finite one whose
// 16-digit text (what the workbook library writes) would read back as infinity, the nearest
// double towards zero whose text reads back finite.
double XlsxWritableNumber(double value);
