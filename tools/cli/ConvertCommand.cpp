#include <new>
#include <string>

#include "data/Errors.h"
#include "data/IoErrors.h"
#include "data/TextFile.h"
#include "data/uMeranie.h"
#include "tools/cli/Commands.h"
#include "tools/cli/ConvertOptions.h"
#include "tools/cli/MeraniaOutput.h"
#include "tools/cli/OutputFile.h"
#include "tools/cli/StopSignalWatch.h"

namespace {

std::string ReadInput(const std::string& input) {
    if (input == "-")
        return ReadStandardInput();
    // A measurement file is one line; anything else is a dump as the meter sent it.
    if (HasExtension(input, ".mxe"))
        return ReadTextFile(input);
    return ReadWholeFile(input);
}

void Convert(const TConvertOptions& options) {
    {
        std::string input = ReadInput(options.input);
        try {
            ParseDeviceDump(input);
        } catch (const std::bad_alloc&) {
            // What was taken goes back first, so that the message can be made.
            const std::size_t size = input.size();
            std::string().swap(input);
            TMeraniaArray().swap(Merania);
            ThrowOutOfMemory(options.input, size);
        }
    }
    const TStopSignalWatch stopSignals("meridax-cli convert: interrupted\n");
    WriteMeraniaOutput(options);
}

}  // namespace

int RunConvert(const TConvertOptions& options) {
    Convert(options);
    return 0;
}
