#include "tools/cli/ImportView.h"

#include <chrono>
#include <thread>

void THeadlessSessionView::BlockFor(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
