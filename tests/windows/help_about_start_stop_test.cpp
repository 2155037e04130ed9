// The help window and the about box outlive the main window's Cancel, and
// the program ends only when the last of them is closed.
#include "windows/about/about_box.h"
#include "windows/help/help_window.h"
#include "windows/main/main_window.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace kalvero {
namespace {

struct Observed {
    bool mainClosed = false;
    bool helpOpenAfterCancel = false;
    bool aboutOpenAfterCancel = false;
    bool runningAfterFirstClose = false;
};

class StartStopTest : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override {
        HILFE.Unload();
        frmAbout.Unload();
        MAIN.Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

void CloseHelp() {
    if (HelpWindow* help = HILFE.Loaded())
        help->close();
}

void CloseAbout() {
    if (AboutBox* about = frmAbout.Loaded())
        about->cmdOK->click();
}

// The parameter: whether the help window is closed first.
TEST_P(StartStopTest, CancelLeavesHelpAndAboutOpenUntilTheLastIsClosed) {
    const bool helpFirst = GetParam();
    Observed seen;
    // Ends the event loop with a failure if the program does not end.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(2); });
    watchdog.start(10000);

    QTimer::singleShot(0, qApp, [&] {
        MAIN.Load().show();
        MAIN.Loaded()->Help->trigger();
        MAIN.Loaded()->Info->trigger();
        MAIN.Loaded()->Command3Click();
        QTimer::singleShot(50, qApp, [&] {
            seen.mainClosed = !MAIN.IsLoaded();
            seen.helpOpenAfterCancel = HILFE.IsLoaded() && HILFE.Loaded()->isVisible();
            seen.aboutOpenAfterCancel = frmAbout.IsLoaded() && frmAbout.Loaded()->isVisible();
            helpFirst ? CloseHelp() : CloseAbout();
            QTimer::singleShot(50, qApp, [&] {
                seen.runningAfterFirstClose = true;
                helpFirst ? CloseAbout() : CloseHelp();
            });
        });
    });

    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(seen.mainClosed);
    EXPECT_TRUE(seen.helpOpenAfterCancel);
    EXPECT_TRUE(seen.aboutOpenAfterCancel);
    EXPECT_TRUE(seen.runningAfterFirstClose);
    EXPECT_FALSE(HILFE.IsLoaded());
    EXPECT_FALSE(frmAbout.IsLoaded());
}

INSTANTIATE_TEST_SUITE_P(CloseOrder, StartStopTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "HelpFirst" : "AboutFirst";
                         });

} // namespace
} // namespace kalvero
