#include "archive/PausePoint.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

void ArchivePausePoint() {
    const char* path = std::getenv("MERIDAX_ARCHIVE_PAUSE");
    if (path == nullptr || *path == '\0') {
        return;
    }
    {
        std::ofstream mark(path);
        mark << ::getpid() << '\n';
    }
    while (::access(path, F_OK) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
