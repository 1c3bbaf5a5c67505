#include "tools/cli/MeraniaInput.h"

#include <iostream>
#include <new>

#include "data/ControlText.h"
#include "data/DumpScanner.h"
#include "data/DumpTable.h"
#include "data/uMeranie.h"
#include "sys/IoErrors.h"
#include "sys/TextFile.h"
#include "tools/cli/ConvertOptions.h"
#include "tools/cli/OutputFile.h"

namespace {

std::string ReadInput(const std::string& input) {
    if (input == "-")
        return ReadStandardInput();
    // A measurement file is one line; anything else is a dump as the meter sent it.
    if (HasExtension(input, ".mxe"))
        return ReadTextFile(input);
    return ReadWholeFile(input);
}

}  // namespace

namespace {

void TellDamage(const std::string& input, const TDumpDamage& damage) {
    if (damage.Count > 0)
        std::cerr << "meridax-cli: " << EscapeControls(input) << ": " << DumpDamageText(damage)
                  << '\n';
}

// Parses text into result; running out of memory gives back what was taken first, so that
// the message can be made.
template <class TResult, class TParse>
void ParseOrTellMemory(const std::string& input, std::string& text, TResult& result,
                       TParse&& parse) {
    try {
        parse();
    } catch (const std::bad_alloc&) {
        const std::size_t size = text.size();
        std::string().swap(text);
        result = TResult();
        ThrowOutOfMemory(input, size);
    }
}

// Records parsed before they are handed on.
constexpr std::size_t RecordsPerRead = 4096;

}  // namespace

TMeraniaArray ReadMeraniaInput(const std::string& input) {
    std::string text = ReadInput(input);
    TMeraniaArray records;
    TDumpDamage damage;
    ParseOrTellMemory(input, text, records, [&] { ParseDeviceDump(text, records, &damage); });
    TellDamage(input, damage);
    return records;
}

TMeasurementTable ReadMeraniaTable(const std::string& input, TTablePage page) {
    std::string text = ReadInput(input);
    TMeasurementTable table(page);
    TDumpDamage damage;
    ParseOrTellMemory(input, text, table, [&] { ParseDeviceDumpToTable(text, table, &damage); });
    TellDamage(input, damage);
    return table;
}

void ReadMeraniaBatches(const std::string& input, const std::function<void(std::size_t)>& reserve,
                        const std::function<void(TMeraniaArray&)>& take) {
    std::string text = ReadInput(input);
    TDumpDamage damage;
    bool parsed = false;
    ParseOrTellMemory(input, text, parsed, [&] {
        const std::string_view dump(text);
        reserve(EstimateRecordCount(dump.substr(0, dump.find('\0'))));
        ParseDeviceDumpInBatches(text, RecordsPerRead, take, &damage);
    });
    TellDamage(input, damage);
}
