// The window tests need one application object for the whole run, offscreen unless the
// caller chose a platform.
#include <gtest/gtest.h>

#include "app/common/MeridaxApplication.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    TMeridaxApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
