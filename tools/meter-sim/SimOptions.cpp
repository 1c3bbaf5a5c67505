#include "tools/meter-sim/SimOptions.h"

#include <charconv>

#include "data/ControlText.h"
#include "data/Latin1Utf8.h"
#include "tools/common/CommandLine.h"

namespace {

const char* const SimHelp = R"(Usage: meridax-meter-sim [OPTIONS]

Stands in for the optical power/loss meter on a pseudo-terminal. Prints the port's
path on the first line of standard output, then answers like the meter:
  "n"  ->  the meter's name, then LF CR
  "u"  ->  every stored record as a TAB-separated line ended by LF CR, then LF CR
Other bytes are ignored. Runs until SIGTERM or SIGINT (Ctrl+C).

Options:
  --name TEXT       the meter's name; \t stands for a TAB
                    (default "MERIDAX OLM-45\tSN 0412871")
  --dump FILE       send the records of FILE (one per line, fields TAB-separated,
                    any line ends); default: generated records
  --records N       generate N records, absolute and relative mixed (default 12);
                    losses as the meter shows them, negative dB, a few gains and
                    a few high losses among them (one of each in the first twenty)
  --seed S          seed of the generated records (default 1)
  --chunk N         write replies in pieces of N bytes
  --chunk random    write replies in pieces of 1 to 64 bytes
  --delay MS        pause MS milliseconds after every piece
  --baud B          pace replies to a real line: B / 10 bytes per second
  --fault KIND      misbehave: no-answer     ignore every request
                               endless-dump  a dump that never ends
                               bad-number    one value with a comma (-3,52)
                               hangup-half   hang up half-way through the dump
                               stray-bytes   line noise after every reply
  --link PATH       also reach the port as PATH (a symbolic link, e.g. /dev/ttyV0,
                    which the program's port list shows); removed at exit; a link
                    to a port that still exists (another stand-in's) is refused
  --save-dump FILE  write the bytes the "u" reply would send to FILE and exit
  --budget-demo FILE
                    write a loss budget (JSON) that fits the generated records to
                    FILE and exit: most readings pass, the high losses fail and the
                    gains give CHECK
  --help            this text
  --version         the program's version
)";

// A whole number from low to high.
CLI::Validator Number(std::uint64_t low, std::uint64_t high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            std::uint64_t value = 0;
            const auto [end, error] =
                std::from_chars(text.data(), text.data() + text.size(), value);
            if (error != std::errc() || end != text.data() + text.size() || value < low ||
                value > high) {
                return "wants a number from " + std::to_string(low) + " to " +
                       std::to_string(high) + ", not '" + text + "'";
            }
            return {};
        },
        "");
}

// "\t" in a name given on the command line stands for a TAB, "\\" for a backslash.
std::string Unescape(const std::string& text) {
    std::string result;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\\' && at + 1 < text.size() &&
            (text[at + 1] == 't' || text[at + 1] == '\\')) {
            result += text[at + 1] == 't' ? '\t' : '\\';
            ++at;
        } else {
            result += text[at];
        }
    }
    return result;
}

// A meter sends its name in 8 bits (Latin-1): a name typed on a UTF-8 terminal is sent so.
// Bytes that are not UTF-8 are taken as the 8-bit text itself.
std::string MeterName(const std::string& text) {
    if (std::optional<std::string> latin1 = Utf8ToLatin1(text))
        return *latin1;
    if (!IsUtf8(text))
        return text;
    throw CLI::ValidationError("--name", "'" + text +
                                             "' holds characters a meter cannot send (it sends "
                                             "Latin-1: letters of Western European languages)");
}

}  // namespace

void AddSimOptions(CLI::App& app, TSimOptions& options) {
    SetHelpText(app, SimHelp);
    app.add_option_function<std::string>("--name", [&options](const std::string& text) {
        options.Name = MeterName(Unescape(text));
    });
    CLI::Option* dump = app.add_option("--dump", options.DumpFile);
    app.add_option("--records", options.Records)->check(Number(0, 100000000))->excludes(dump);
    app.add_option("--seed", options.Seed)->check(Number(0, 0xFFFFFFFF));
    app.add_option_function<std::string>(
           "--chunk",
           [&options](const std::string& text) {
               options.RandomChunks = text == "random";
               if (!options.RandomChunks)
                   std::from_chars(text.data(), text.data() + text.size(), options.Chunk);
           })
        ->check(CLI::Validator(
            [pieces = Number(1, 1 << 24)](std::string& text) {
                return text == "random" ? std::string() : pieces(text);
            },
            ""));
    app.add_option("--delay", options.DelayMs)->check(Number(0, 600000));
    app.add_option("--baud", options.Baud)->check(Number(10, 100000000));
    app.add_option("--fault", options.Fault)
        ->transform(Choice<TSimFault>({{"no-answer", TSimFault::NoAnswer},
                                       {"endless-dump", TSimFault::EndlessDump},
                                       {"bad-number", TSimFault::BadNumber},
                                       {"hangup-half", TSimFault::HangUpHalf},
                                       {"stray-bytes", TSimFault::StrayBytes}}));
    app.add_option("--link", options.Link);
    app.add_option("--save-dump", options.SaveDump);
    app.add_option("--budget-demo", options.BudgetDemo);
}
