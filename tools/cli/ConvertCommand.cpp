#include <string>
#include <utility>

#include "tools/cli/Commands.h"
#include "tools/cli/ConvertOptions.h"
#include "tools/cli/MeraniaInput.h"
#include "tools/cli/MeraniaOutput.h"
#include "tools/cli/StopSignalWatch.h"

int RunConvert(TConvertOptions options) {
    // A budget that cannot be used stops the conversion before the input is read.
    ReadOutputBudget(options);
    if (!OutputNeedsRecords(options)) {
        // The table is filled as the dump is parsed: the records never all exist at once.
        TMeasurementTable table = ReadMeraniaTable(options.input, OutputPage(options));
        const TStopSignalWatch stopSignals("meridax-cli convert: interrupted\n");
        WriteMeraniaTable(options, std::move(table));
        return 0;
    }
    TMeraniaArray records = ReadMeraniaInput(options.input);
    const TStopSignalWatch stopSignals("meridax-cli convert: interrupted\n");
    WriteMeraniaOutput(options, std::move(records));
    return 0;
}
