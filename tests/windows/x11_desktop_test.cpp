// The windows on a real X desktop: Xvfb with the openbox window manager,
// started by this program before Qt and ended by process id afterwards.
// Where either is missing or does not start, every test says so and is
// skipped.
#include "tests/support/window_test.h"

#include "windows/common/message_box.h"
#include "windows/common/placement.h"
#include "windows/common/twips.h"
#include "windows/help/help_window.h"
#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <xcb/xcb.h>

namespace kalvero::test {
namespace {

std::string desktopProblem; // why there is no desktop, or empty

xcb_connection_t* Connection() {
    return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_atom_t Atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        Connection(),
        xcb_intern_atom(Connection(), 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// What the window manager lets the user do with the window, once it has
// taken the window on.
std::vector<xcb_atom_t> AllowedActions(QWidget& window) {
    std::vector<xcb_atom_t> actions;
    QElapsedTimer waited;
    waited.start();
    while (actions.empty() && waited.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            Connection(),
            xcb_get_property(Connection(), 0, static_cast<xcb_window_t>(window.winId()),
                             Atom("_NET_WM_ALLOWED_ACTIONS"), XCB_ATOM_ATOM, 0, 64),
            nullptr);
        if (reply) {
            const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            actions.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    return actions;
}

void ExpectNoMaximise(QWidget& window, const char* name) {
    const std::vector<xcb_atom_t> actions = AllowedActions(window);
    ASSERT_FALSE(actions.empty()) << name << ": the window manager did not take the window on";
    for (const char* maximise : {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
        EXPECT_EQ(std::count(actions.begin(), actions.end(), Atom(maximise)), 0)
            << name << " may be maximised";
}

// Whether a window manager has announced itself on the root window.
bool WaitForWindowManager() {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(Connection())).data->root;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            Connection(),
            xcb_get_property(Connection(), 0, root, Atom("_NET_SUPPORTING_WM_CHECK"),
                             XCB_ATOM_WINDOW, 0, 1),
            nullptr);
        const bool announced = reply && xcb_get_property_value_length(reply) == 4;
        std::free(reply);
        if (announced)
            return true;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return false;
}

class DesktopTest : public WindowTest {
protected:
    void SetUp() override {
        if (!desktopProblem.empty())
            GTEST_SKIP() << desktopProblem;
        WindowTest::SetUp();
    }
};

// Waits until the window is on screen with its frame known.
void WaitForFrame(QWidget& window) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 3000 &&
           (!window.windowHandle() || window.windowHandle()->frameMargins().isNull()))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST_F(DesktopTest, MainsOuterFrameStandsWhereThePlacementRulePutsIt) {
    MainWindow& main = MAIN.Load();
    main.show();
    WaitForFrame(main);
    ASSERT_FALSE(main.windowHandle()->frameMargins().isNull()) << "no frame came";
    const QScreen* screen = main.screen();
    const QSize outer = main.frameGeometry().size();
    const TwipsPoint rule =
        FifthAcrossCentred(static_cast<float>(PixelsToTwipsX(screen->geometry().width(), screen)),
                           static_cast<float>(PixelsToTwipsY(screen->geometry().height(), screen)),
                           static_cast<float>(PixelsToTwipsX(outer.width(), screen)),
                           static_cast<float>(PixelsToTwipsY(outer.height(), screen)));
    const QPoint expected(TwipsToPixelsX(rule.left, screen), TwipsToPixelsY(rule.top, screen));
    const QPoint actual = main.frameGeometry().topLeft();
    EXPECT_LE(std::abs(actual.x() - expected.x()), 1) << actual.x() << " vs " << expected.x();
    EXPECT_LE(std::abs(actual.y() - expected.y()), 1) << actual.y() << " vs " << expected.y();
}

TEST_F(DesktopTest, MainWaitHelpAndMessageBoxesOfferNoMaximise) {
    MainWindow& main = MAIN.Load();
    main.show();
    ExpectNoMaximise(main, "MAIN");
    ProgressWindow& wait = WAIT.Load();
    wait.show();
    ExpectNoMaximise(wait, "WAIT");
    main.HelpClick();
    ExpectNoMaximise(*HILFE.Loaded(), "HILFE");

    bool inspected = false;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        ExpectNoMaximise(*box, "the message box");
        inspected = true;
        box->button(QMessageBox::Ok)->click();
    });
    QTimer::singleShot(10000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    QtMessageService().ShowMessage("The Syntaxes have been executed ");
    EXPECT_TRUE(inspected);
}

// Xvfb on a display it chooses itself, and openbox on it.
class Desktop {
public:
    Desktop() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (xvfb.isEmpty() || openbox.isEmpty()) {
            desktopProblem = "Xvfb or openbox is not installed (Debian packages xvfb, openbox)";
            return;
        }
        int pipe[2];
        if (::pipe(pipe) != 0) {
            desktopProblem = "no pipe for Xvfb's display number";
            return;
        }
        server_.setProgram(xvfb);
        server_.setArguments(
            {QStringLiteral("-displayfd"), QString::number(pipe[1]), QStringLiteral("-screen"),
             QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-dpi"),
             QStringLiteral("96"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        server_.setProcessChannelMode(QProcess::ForwardedChannels);
        const int writeEnd = pipe[1];
        server_.setChildProcessModifier([writeEnd] { ::fcntl(writeEnd, F_SETFD, 0); });
        server_.start();
        ::close(pipe[1]);
        char number[16] = {};
        const ssize_t got = server_.waitForStarted(5000) ? ::read(pipe[0], number, 15) : -1;
        ::close(pipe[0]);
        if (got <= 0) {
            desktopProblem = "Xvfb did not start";
            return;
        }
        display_ = ":" + std::string(number, std::strcspn(number, "\n"));
        ::setenv("DISPLAY", display_.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        manager_.setProgram(openbox);
        manager_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        manager_.start();
        if (!manager_.waitForStarted(5000))
            desktopProblem = "openbox did not start";
    }
    ~Desktop() {
        for (QProcess* process : {&manager_, &server_}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
            if (!process->waitForFinished(5000))
                process->kill();
            process->waitForFinished(-1);
        }
    }

private:
    QProcess server_;
    QProcess manager_;
    std::string display_;
};

} // namespace
} // namespace kalvero::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kalvero::test::Desktop desktop;
    if (!kalvero::test::desktopProblem.empty()) {
        // Without a display, the tests only report why they are skipped.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    if (kalvero::test::desktopProblem.empty() && !kalvero::test::WaitForWindowManager())
        kalvero::test::desktopProblem = "openbox did not take over the display within 10 s";
    return RUN_ALL_TESTS();
}
