#include <iostream>
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
    WriteMeraniaOutput(options);
}

}  // namespace

int RunConvert(const std::vector<std::string>& args) {
    TConvertOptions options;
    try {
        options = ParseConvertOptions(args);
    } catch (const EConvertUsage& error) {
        std::cerr << "meridax-cli convert: " << error.what() << '\n' << ConvertUsage;
        return 2;
    }
    if (options.help) {
        std::cout << ConvertUsage << '\n' << ConvertHelp;
        return 0;
    }
    try {
        Convert(options);
        return 0;
    } catch (const EInOutError& error) {
        std::cerr << "meridax-cli: " << error.Path() << ": " << error.what() << '\n';
    } catch (const std::exception& error) {
        std::cerr << "meridax-cli: " << error.what() << '\n';
    }
    return 1;
}
