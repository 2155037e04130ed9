// The engine's tests run inside a QCoreApplication, as the program does, so
// that waiting for pspp goes through a local event loop; timers of the tests
// fire while pspp runs.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("LC_ALL", "C.UTF-8", 1);
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
