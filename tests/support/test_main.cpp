// The one main() of the test programs. Every test runs in the C.UTF-8 locale.
// With KALVERO_TEST_WIDGETS it runs inside a QApplication on the offscreen
// platform, so that no window test opens a window on a real screen; otherwise
// inside a QCoreApplication, as the engine runs in the program, so that
// waiting for pspp goes through a local event loop and timers of the tests
// fire while pspp runs.
#ifdef KALVERO_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("LC_ALL", "C.UTF-8", 1);
#ifdef KALVERO_TEST_WIDGETS
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
#else
    QCoreApplication application(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
