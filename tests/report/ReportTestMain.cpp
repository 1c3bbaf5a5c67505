// The report needs an application object for its fonts: the one the command line makes.
#include <gtest/gtest.h>

#include "report/OffscreenGui.h"

int main(int argc, char** argv) {
    const TOffscreenGui gui;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
