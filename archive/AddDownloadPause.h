#pragma once

#include <functional>

// For the tests of a killed process: a function every back end calls inside AddDownload's
// transaction once the rows are written and before they are committed. Empty (nothing is
// called) unless a test sets one.
void SetAddDownloadPause(std::function<void()> pause);

// Called by the back ends at that point.
void PauseInsideAddDownload();
