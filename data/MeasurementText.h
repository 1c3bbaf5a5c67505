#pragma once

#include <string>

#include "data/MeasurementTable.h"

// The one-line text of a table's rows: per row cable@fiber@wavelength@value[@reference]^.
std::string ListViewToText(const TMeasurementTable& table, bool OnlyChecked);
