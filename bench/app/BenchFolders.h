#pragma once

#include "support/TempFolder.h"

// Points the user's configuration (QSettings, where the window keeps its loss budget) at a
// fresh folder for as long as the object lives, so that a benchmark's windows neither judge
// by the real user's budget nor drop it when it no longer reads. The working directory stays,
// so that relative --benchmark_out paths still land where asked; the windows only read a
// settings.ini there, they never write it.
class TBenchFolders {
public:
    TBenchFolders();

private:
    TTempFolder config_{"meridax-bench"};
};
