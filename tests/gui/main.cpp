// Test entry of the GUI layer: widgets need an application object before any test creates one.
#include "app/gui/startup.h"
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    kvt::KvtApplication app(argc, argv); // the program's own application object
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
