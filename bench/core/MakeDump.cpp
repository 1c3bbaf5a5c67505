// Writes a generated device dump to a file, for measuring meridax-cli convert by hand:
//   meridax-bench-make-dump 1000000 dump-1m.txt
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "bench/core/DumpGenerator.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: meridax-bench-make-dump RECORDS FILE\n";
        return 2;
    }
    const std::string dump = GenerateDeviceDump(std::strtoul(argv[1], nullptr, 10));
    std::ofstream out(argv[2], std::ios::binary);
    out.write(dump.data(), static_cast<std::streamsize>(dump.size()));
    out.close();
    if (!out) {
        std::cerr << "cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
