#include "data/DumpTable.h"

#include "data/DumpScanner.h"

namespace {

// Records parsed before they become rows: small enough to stay in the processor's caches.
constexpr std::size_t RecordsPerBatch = 4096;

}  // namespace

void ParseDeviceDumpToTable(std::string_view text, TMeasurementTable& table, TDumpDamage* damage) {
    table.Clear();
    // Upper bounds, as FillMeasurementTable takes: a record's names are bytes of the dump, and
    // the pages never written to stay out of memory.
    ReserveForDump(table, EstimateRecordCount(text), text.size());
    ParseDeviceDumpInBatches(
        text, RecordsPerBatch,
        [&table](TMeraniaArray& records) { AppendMeasurementRows(records, table); }, damage);
}
