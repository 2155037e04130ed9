#include "windows/help/help_text.h"
#include "windows/help/help_window.h"
#include "windows/main/main_window.h"

#include "windows/common/twips.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace kalvero {
namespace {

TEST(HelpText, Has970CharactersIn24LinesWithoutTrailingLineBreak) {
    const QString text = HelpText();
    EXPECT_EQ(text.size(), 970);
    EXPECT_FALSE(text.endsWith(QLatin1Char('\n')));
    EXPECT_FALSE(text.endsWith(QLatin1Char('\r')));
    // Every line break is CR LF: no lone CR or LF.
    EXPECT_EQ(text.count(QLatin1Char('\r')), 23);
    EXPECT_EQ(text.count(QLatin1Char('\n')), 23);
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 24);
    EXPECT_EQ(lines.count(QStringLiteral(" ")), 5);
    EXPECT_FALSE(lines.contains(QString()));
    EXPECT_EQ(lines.first(), QStringLiteral("SPSS - KALVERO "));
    EXPECT_EQ(lines.last(), QStringLiteral(" The Text modes cannot contain the charts. "));
    EXPECT_EQ(lines[18], QStringLiteral("C:\\SPSS-KALVERO\\Syntax1.SPS "));
    // Trailing blanks survive editors and formatters.
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(":  ")));
    EXPECT_TRUE(lines[20].endsWith(QStringLiteral("Output  ")));
}

class HelpWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        HILFE.Unload();
        MAIN.Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static int CountHelpWindows() {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<HelpWindow*>(widget) && widget->isVisible())
                ++count;
        return count;
    }
};

TEST(HelpPlacement, BesideMainWindow) {
    const HelpPlacement place = HelpPlacementBeside(1545, 2130, 7635);
    EXPECT_EQ(place.left, 9180.0f);
    EXPECT_EQ(place.top, 2130);
}

TEST(HelpPlacement, TopOutsideSixteenBitsIsClamped) {
    EXPECT_EQ(HelpPlacementBeside(0, 40000, 100).top, 32767);
    EXPECT_EQ(HelpPlacementBeside(0, -40000, 100).top, -32768);
    EXPECT_EQ(HelpPlacementBeside(0, 32767, 100).top, 32767);
    EXPECT_EQ(HelpPlacementBeside(0, -32768, 100).top, -32768);
}

TEST(HelpPlacement, LeftIsASinglePrecisionSum) {
    // 16777216 + 1 is not representable in single precision.
    EXPECT_EQ(HelpPlacementBeside(16777216.0, 0, 1).left, 16777216.0f);
}

TEST_F(HelpWindowTest, LoadStepSetsCaptionSizeAndText) {
    HelpWindow& window = HILFE.Load();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("SPSS KALVERO HELP"));
    EXPECT_EQ(window.size(), QSize(TwipsToPixelsX(5520), TwipsToPixelsY(5580)));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    // The box shows the 24 lines, each as a line of its own.
    EXPECT_EQ(window.Text1->document()->blockCount(), 24);
    EXPECT_EQ(window.Text1->toPlainText(),
              HelpText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_FALSE(window.Text1->isReadOnly());
}

TEST_F(HelpWindowTest, TextBoxFollowsTheClientArea) {
    OpenHelpWindow();
    HelpWindow& window = *HILFE.Loaded();
    EXPECT_EQ(window.Text1->geometry(), window.rect());
    window.resize(window.width() + 57, window.height() - 31);
    QTRY_COMPARE_WITH_TIMEOUT(window.Text1->geometry(), window.rect(), 2000);
    EXPECT_EQ(window.Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(window.Text1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(HelpWindowTest, OpeningTwiceGivesOneWindowWithTypedTextKept) {
    OpenHelpWindow();
    HelpWindow* first = HILFE.Loaded();
    QTest::keyClicks(first->Text1, QStringLiteral("typed"));
    const QString typed = first->Text1->toPlainText();
    ASSERT_NE(typed, HelpText());
    OpenHelpWindow();
    EXPECT_EQ(HILFE.Loaded(), first);
    EXPECT_EQ(CountHelpWindows(), 1);
    EXPECT_EQ(first->Text1->toPlainText(), typed);
}

TEST_F(HelpWindowTest, ReopeningAfterCloseRestoresTheText) {
    OpenHelpWindow();
    QTest::keyClicks(HILFE.Loaded()->Text1, QStringLiteral("typed"));
    HILFE.Loaded()->close();
    EXPECT_FALSE(HILFE.IsLoaded());
    OpenHelpWindow();
    EXPECT_EQ(HILFE.Loaded()->Text1->toPlainText(),
              HelpText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_EQ(CountHelpWindows(), 1);
}

// The help window's outer left edge lies on the main window's right edge,
// their tops level.
QPoint BesideMain(const QWidget& main) {
    const QRect frame = main.frameGeometry();
    return QPoint(frame.x() + frame.width(), frame.y());
}

TEST_F(HelpWindowTest, PlacedBesideTheMainWindowWhenLoaded) {
    MainWindow& main = MAIN.Load();
    main.show();
    main.move(main.pos() + QPoint(13, 7));
    OpenHelpWindow();
    EXPECT_EQ(HILFE.Loaded()->frameGeometry().topLeft(), BesideMain(main));
}

TEST_F(HelpWindowTest, FollowsAMovedMainWindowOnlyAfterCloseAndReopen) {
    MainWindow& main = MAIN.Load();
    main.show();
    OpenHelpWindow();
    const QPoint first = HILFE.Loaded()->frameGeometry().topLeft();
    ASSERT_EQ(first, BesideMain(main));

    main.move(main.pos() + QPoint(120, 45));
    ASSERT_NE(BesideMain(main), first);
    OpenHelpWindow();
    EXPECT_EQ(HILFE.Loaded()->frameGeometry().topLeft(), first);

    HILFE.Loaded()->close();
    OpenHelpWindow();
    EXPECT_EQ(HILFE.Loaded()->frameGeometry().topLeft(), BesideMain(main));
}

TEST_F(HelpWindowTest, HelpMenuItemOpensOneWindow) {
    MainWindow& main = MAIN.Load();
    main.show();
    main.Help->trigger();
    main.Help->trigger();
    EXPECT_EQ(CountHelpWindows(), 1);
}

} // namespace
} // namespace kalvero
