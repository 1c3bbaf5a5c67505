#include "archive/AddDownloadPause.h"

#include <utility>

namespace {
std::function<void()>& Pause() {
    static std::function<void()> pause;
    return pause;
}
}  // namespace

void SetAddDownloadPause(std::function<void()> pause) {
    Pause() = std::move(pause);
}

void PauseInsideAddDownload() {
    if (Pause()) {
        Pause()();
    }
}
