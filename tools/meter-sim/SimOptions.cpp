#include "tools/meter-sim/SimOptions.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace {

std::uint64_t Number(const std::string& option, const std::string& text, std::uint64_t low,
                     std::uint64_t high) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw ESimUsage(option + " wants a number from " + std::to_string(low) + " to " +
                        std::to_string(high) + ", not '" + text + "'");
    }
    return value;
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

TSimFault Fault(const std::string& text) {
    if (text == "no-answer") {
        return TSimFault::NoAnswer;
    }
    if (text == "endless-dump") {
        return TSimFault::EndlessDump;
    }
    if (text == "bad-number") {
        return TSimFault::BadNumber;
    }
    if (text == "hangup-half") {
        return TSimFault::HangUpHalf;
    }
    if (text == "stray-bytes") {
        return TSimFault::StrayBytes;
    }
    throw ESimUsage("unknown fault '" + text +
                    "' (no-answer, endless-dump, bad-number, hangup-half, stray-bytes)");
}

}  // namespace

TSimOptions ParseSimOptions(const std::vector<std::string>& arguments) {
    TSimOptions options;
    bool recordsGiven = false;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& option = arguments[at];
        if (option == "--help" || option == "-h") {
            options.Help = true;
            continue;
        }
        static const char* const valued[] = {"--name",  "--dump",     "--records", "--seed",
                                             "--chunk", "--delay",    "--baud",    "--fault",
                                             "--link",  "--save-dump"};
        if (std::find(std::begin(valued), std::end(valued), option) == std::end(valued)) {
            throw ESimUsage("unknown option '" + option + "'");
        }
        if (at + 1 >= arguments.size()) {
            throw ESimUsage(option + " wants a value");
        }
        const std::string& value = arguments[++at];
        if (option == "--name") {
            options.Name = Unescape(value);
        } else if (option == "--dump") {
            options.DumpFile = value;
        } else if (option == "--records") {
            options.Records = Number(option, value, 0, 100000000);
            recordsGiven = true;
        } else if (option == "--seed") {
            options.Seed = static_cast<std::uint32_t>(Number(option, value, 0, 0xFFFFFFFF));
        } else if (option == "--chunk") {
            if (value == "random") {
                options.RandomChunks = true;
            } else {
                options.Chunk = Number(option, value, 1, 1 << 24);
            }
        } else if (option == "--delay") {
            options.DelayMs = static_cast<unsigned>(Number(option, value, 0, 600000));
        } else if (option == "--baud") {
            options.Baud = static_cast<std::uint32_t>(Number(option, value, 10, 100000000));
        } else if (option == "--fault") {
            options.Fault = Fault(value);
        } else if (option == "--link") {
            options.Link = value;
        } else if (option == "--save-dump") {
            options.SaveDump = value;
        }
    }
    if (recordsGiven && !options.DumpFile.empty()) {
        throw ESimUsage("--dump and --records exclude each other");
    }
    return options;
}

std::string SimHelpText() {
    return R"(Usage: meridax-meter-sim [OPTIONS]

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
  --records N       generate N records, absolute and relative mixed (default 12)
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
                    which the program's port list shows); removed at exit
  --save-dump FILE  write the bytes the "u" reply would send to FILE and exit
  --help            this text
)";
}
