#include "tools/cli/MeraniaInput.h"

#include <iostream>
#include <new>

#include "data/ControlText.h"
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

TMeraniaArray ReadMeraniaInput(const std::string& input) {
    std::string text = ReadInput(input);
    TMeraniaArray records;
    TDumpDamage damage;
    try {
        ParseDeviceDump(text, records, &damage);
    } catch (const std::bad_alloc&) {
        // What was taken goes back first, so that the message can be made.
        const std::size_t size = text.size();
        std::string().swap(text);
        TMeraniaArray().swap(records);
        ThrowOutOfMemory(input, size);
    }
    if (damage.Count > 0)
        std::cerr << "meridax-cli: " << EscapeControls(input) << ": " << DumpDamageText(damage)
                  << '\n';
    return records;
}
