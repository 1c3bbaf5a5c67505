// A libFuzzer entry point for one of the randomized checks, chosen by MERIDAX_FUZZ_BODY when
// this file is compiled; a failing input ends the run (and libFuzzer keeps it).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzBodies.h"

namespace {

TFuzzOutcome Check(const std::string& input) {
    return MERIDAX_FUZZ_BODY;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const TFuzzOutcome outcome = Check(input);
    if (!outcome.Failure.empty()) {
        std::fprintf(stderr, "%s\n", outcome.Failure.c_str());
        std::abort();
    }
    return 0;
}
