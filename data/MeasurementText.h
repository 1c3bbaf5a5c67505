#pragma once

#include <stdexcept>
#include <string>

#include "data/MeasurementTable.h"

// The one-line text of a table's rows: per row cable@fiber@wavelength@value[@reference]^.
std::string ListViewToText(const TMeasurementTable& table, bool OnlyChecked);

// A row whose cable or fiber a measurement file cannot hold: a line feed ends the file's
// line, a zero byte ends the text the parser sees, and a TAB reads back as "@".
class EUnsavableText : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The measurement text of all rows as Save writes it: ListViewToText(table, false), except
// that a cable or fiber the parser would cut or unquote ("@", "^", a blank, a leading double
// quote) is written in double quotes, its own quotes doubled, and so is its whole row when
// the line split would cut it. Opening the text gives back the same records. Throws
// EUnsavableText for a text holding a TAB, a line feed or a zero byte.
std::string MeasurementFileText(const TMeasurementTable& table);
