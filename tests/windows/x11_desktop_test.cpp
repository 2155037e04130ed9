// The windows on a real X desktop, under the window manager named on the
// command line (openbox or xfwm4): where the main window first stands, what
// each window lets the user do (the Motif functions it asks for, the actions
// the window manager then allows), and the program's own icon on every
// window. The desktop is started before Qt and ended by process id; where it
// cannot start, every test says why and is skipped.
#include "tests/support/window_test.h"
#include "tests/support/x11_desktop.h"

#include "windows/about/about_box.h"
#include "windows/common/message_box.h"
#include "windows/common/placement.h"
#include "windows/common/twips.h"
#include "windows/help/help_window.h"
#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"
#include "windows/syntax_select/syntax_select_window.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace kalvero::test {
namespace {

X11Desktop* desktop = nullptr;

bool UnderXfwm4() {
    return desktop->WindowManager() == "xfwm4";
}

class DesktopTest : public WindowTest {
protected:
    void SetUp() override {
        if (!desktop->Problem().empty())
            GTEST_SKIP() << desktop->Problem();
        WindowTest::SetUp();
    }
    void TearDown() override {
        HILFE.Unload();
        frmAbout.Unload();
        WindowTest::TearDown();
    }
};

// The outer frame's top-left corner where the placement rule puts it.
QPoint PlacedByTheRule(const QWidget& window) {
    const QScreen* screen = window.screen();
    const QSize outer = window.frameGeometry().size();
    const TwipsPoint rule =
        FifthAcrossCentred(static_cast<float>(PixelsToTwipsX(screen->geometry().width(), screen)),
                           static_cast<float>(PixelsToTwipsY(screen->geometry().height(), screen)),
                           static_cast<float>(PixelsToTwipsX(outer.width(), screen)),
                           static_cast<float>(PixelsToTwipsY(outer.height(), screen)));
    return {TwipsToPixelsX(rule.left, screen), TwipsToPixelsY(rule.top, screen)};
}

TEST_F(DesktopTest, MainsOuterFrameStandsWhereThePlacementRulePutsIt) {
    MainWindow& main = MAIN.Load();
    main.show();
    // Waits for the frame and the window manager's move, which come apart.
    const auto placed = [&main] {
        const QPoint offset = main.frameGeometry().topLeft() - PlacedByTheRule(main);
        return main.windowHandle() && !main.windowHandle()->frameMargins().isNull() &&
               std::abs(offset.x()) <= 1 && std::abs(offset.y()) <= 1;
    };
    EXPECT_TRUE(x11::WaitFor(placed))
        << "frame at " << main.frameGeometry().x() << "," << main.frameGeometry().y()
        << ", the rule says " << PlacedByTheRule(main).x() << "," << PlacedByTheRule(main).y();
}

// What a window asks for and what the window manager then allows.
struct Offer {
    const char* name;
    bool resize;
    bool maximise;
    bool minimise;
};

bool Allows(const std::vector<std::uint32_t>& actions, const char* action) {
    return std::count(actions.begin(), actions.end(), x11::Atom(action)) > 0;
}

// Motif function bits: all, resize, move, minimise, maximise, close.
constexpr std::uint32_t kAll = 1, kResize = 2, kMinimise = 8, kMaximise = 16;

void ExpectOffer(QWidget& window, const Offer& offer) {
    SCOPED_TRACE(offer.name);
    const xcb_window_t id = x11::Id(window);
    std::vector<std::uint32_t> actions;
    ASSERT_TRUE(x11::WaitFor([&] {
        actions = x11::Property(id, "_NET_WM_ALLOWED_ACTIONS");
        return !actions.empty();
    })) << "the window manager did not take the window on";

    // Asked for: the functions of the Motif hints (none set means all).
    std::vector<std::uint32_t> hints = x11::Property(id, "_MOTIF_WM_HINTS");
    hints.resize(5, 0);
    const std::uint32_t functions = (hints[0] & 1) && !(hints[1] & kAll) ? hints[1] : ~0u;
    EXPECT_EQ((functions & kMaximise) != 0, offer.maximise);
    EXPECT_EQ((functions & kMinimise) != 0, offer.minimise);
    if (offer.resize) {
        EXPECT_NE(functions & kResize, 0u);
    }

    // Allowed: resizing always as asked; maximise and minimise as asked where
    // the window manager honours the hints (openbox offers maximise with
    // every resizable window, and a minimise button on every box).
    EXPECT_EQ(Allows(actions, "_NET_WM_ACTION_RESIZE"), offer.resize);
    if (UnderXfwm4()) {
        EXPECT_EQ(Allows(actions, "_NET_WM_ACTION_MAXIMIZE_HORZ"), offer.maximise);
        EXPECT_EQ(Allows(actions, "_NET_WM_ACTION_MINIMIZE"), offer.minimise);
    }
}

// Shows a message box and hands it to inspect while it is open.
void WithMessageBox(const std::function<void(MessageBox&)>& inspect) {
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        MessageBox* box = nullptr;
        x11::WaitFor([&] {
            box = qobject_cast<MessageBox*>(QApplication::activeModalWidget());
            return box && box->isVisible();
        });
        if (!box)
            return;
        inspect(*box);
        inspected = true;
        box->Ok->click();
    });
    QTimer::singleShot(60000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    QtMessageService().ShowMessage("The Syntaxes have been executed ");
    EXPECT_TRUE(inspected) << "no message box came";
}

TEST_F(DesktopTest, SizableWindowsResizeAndFixedBoxesDoNot) {
    MainWindow& main = MAIN.Load();
    main.show();
    ExpectOffer(main, {"MAIN", true, false, true});
    ProgressWindow& wait = WAIT.Load();
    wait.show();
    ExpectOffer(wait, {"WAIT", true, false, true});
    main.HelpClick();
    ExpectOffer(*HILFE.Loaded(), {"HILFE", true, false, true});
    main.Command1Click();
    ExpectOffer(*SYNT_SELECT.Loaded(), {"SYNT_SELECT", true, true, true});
    main.InfoClick();
    ExpectOffer(*frmAbout.Loaded(), {"frmAbout", false, false, false});
    WithMessageBox([](MessageBox& box) { ExpectOffer(box, {"message box", false, false, false}); });
}

// The 32 x 32 image of the window's _NET_WM_ICON (null when it has none),
// premultiplied: on its way to the window manager the icon passes through
// premultiplied alpha, which can move a half-transparent pixel's colour by
// one, so only premultiplied images of the same icon compare equal.
QImage Icon32(QWidget& window) {
    const std::vector<std::uint32_t> icon = x11::Property(x11::Id(window), "_NET_WM_ICON");
    for (std::size_t at = 0; at + 2 <= icon.size();) {
        const std::uint32_t width = icon[at], height = icon[at + 1];
        const std::size_t pixels = std::size_t{width} * height;
        if (at + 2 + pixels > icon.size())
            break;
        if (width == 32 && height == 32) {
            QImage image(32, 32, QImage::Format_ARGB32);
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    image.setPixel(x, y, icon[at + 2 + std::size_t(y) * 32 + std::size_t(x)]);
            return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
        at += 2 + pixels;
    }
    return {};
}

TEST_F(DesktopTest, EveryWindowShowsTheProgramsOwnIcon) {
    const QImage own =
        QImage(QStringLiteral(KALVERO_SOURCE_DIR "/windows/common/icons/kalvero-32.png"))
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(own.isNull());
    MainWindow& main = MAIN.Load();
    main.show();
    main.InfoClick();
    main.HelpClick();
    main.Command1Click();
    WAIT.Load().show();
    for (QWidget* window : std::initializer_list<QWidget*>{&main, frmAbout.Loaded(), HILFE.Loaded(),
                                                           SYNT_SELECT.Loaded(), WAIT.Loaded()})
        EXPECT_TRUE(Icon32(*window) == own) << window->objectName().toStdString();
    WithMessageBox([&own](MessageBox& box) { EXPECT_TRUE(Icon32(box) == own); });
}

} // namespace
} // namespace kalvero::test

// Usage: x11_desktop_tests openbox|xfwm4 [gtest options]
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kalvero::test::X11Desktop desktop(argc > 1 ? argv[1] : "openbox");
    kalvero::test::desktop = &desktop;
    // Without a display, the tests only report why they are skipped.
    if (!desktop.Problem().empty())
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    desktop.WaitForWindowManager();
    return RUN_ALL_TESTS();
}
