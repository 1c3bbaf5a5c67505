#pragma once

#include <cstdint>
#include <string>

namespace CLI {
class App;
}

enum class TSimFault { None, NoAnswer, EndlessDump, BadNumber, HangUpHalf, StrayBytes };

struct TSimOptions {
    std::string Name = "MERIDAX OLM-45\tSN 0412871";
    std::string DumpFile;      // empty: generated records
    std::size_t Records = 12;  // generated records when no dump file is given
    std::uint32_t Seed = 1;
    std::size_t Chunk = 0;      // bytes per write; 0: as many as the port takes
    bool RandomChunks = false;  // 1 to 64 bytes per write
    unsigned DelayMs = 0;       // pause after every chunk
    std::uint32_t Baud = 0;     // pace to Baud / 10 bytes per second; 0: no pacing
    TSimFault Fault = TSimFault::None;
    std::string Link;        // symbolic link made to the port, removed at exit
    std::string SaveDump;    // write the dump reply here and exit
    std::string BudgetDemo;  // write a loss budget that fits the generated records here and exit
};

// Adds the stand-in's options and its help text to app, read into options. A bad option
// fails the parse with a message that names it.
void AddSimOptions(CLI::App& app, TSimOptions& options);
