#pragma once

#include <string_view>

#include "data/MeasurementTable.h"
#include "data/uMeranie.h"

// Empties table and fills it with the rows of a device dump's records on its page: the rows of
// ParseDeviceDump(text, records, damage) then FillMeasurementTable(records, table), without
// ever holding every record (a million of them take 96 MB beside the table's 28). Throws
// what ParseDeviceDump throws.
void ParseDeviceDumpToTable(std::string_view text, TMeasurementTable& table,
                            TDumpDamage* damage = nullptr);
