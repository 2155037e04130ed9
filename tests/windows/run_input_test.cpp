// Input during a run: it is dropped, not replayed afterwards, except for the
// active modal widget (the run's message boxes).
#include "tests/support/window_test.h"

#include "batch/run_command.h"
#include "windows/main/main_window.h"
#include "windows/main/run_input_guard.h"
#include "windows/progress/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QWindow>

namespace kalvero::test {
namespace {

using Strings = std::vector<std::string>;

void PostClick(QWidget* widget) {
    const QPointF local = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(local);
    QCoreApplication::postEvent(widget,
                                new QMouseEvent(QEvent::MouseButtonPress, local, global,
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget,
                                new QMouseEvent(QEvent::MouseButtonRelease, local, global,
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

class RunInputTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        main = &MAIN.Load();
        main->show();
        main->AppendEntry("/d/1.sps");
    }
    MainWindow* main = nullptr;
};

TEST_F(RunInputTest, PostedClicksWorkOutsideARun) {
    // Guards the test below: the posted clicks do reach the buttons.
    QSignalSpy clicks(main->Command2, &QPushButton::clicked);
    PostClick(main->Command2);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(messages.texts, Strings{kNoItemSelectedMessage});
}

TEST_F(RunInputTest, ClicksAndCloseRequestsDuringARunAreDroppedNotReplayed) {
    engines.script.onRun = [this](int, const std::string&) {
        EXPECT_TRUE(RunInputGuard::Active());
        PostClick(main->Command4);
        PostClick(main->Command2);
        QCoreApplication::postEvent(main->List1,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        QCloseEvent closeMain;
        QCoreApplication::sendEvent(main->windowHandle(), &closeMain);
        // The engine turns the event loop while it works.
        QCoreApplication::processEvents();
        EXPECT_TRUE(MAIN.IsLoaded());
        EXPECT_TRUE(WAIT.IsLoaded());
    };
    main->Command4Click();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    EXPECT_FALSE(RunInputGuard::Active());
    EXPECT_EQ(engines.created, 1);
    EXPECT_EQ(engines.ran, Strings{"/d/1.sps"});
    EXPECT_EQ(messages.texts, Strings{kCompletionMessage});
    EXPECT_TRUE(MAIN.IsLoaded());
    EXPECT_EQ(main->List1->currentRow(), -1);
    // The run's own closing of the progress window still works.
    EXPECT_FALSE(WAIT.IsLoaded());
}

// The progress window's close box stops the run: the file running is the
// last, nothing more is written, WAIT closes and the message says so.
TEST_F(RunInputTest, TheProgressWindowsCloseBoxStopsTheRun) {
    main->AppendEntry("/d/2.sps");
    engines.script.onRun = [](int call, const std::string&) {
        if (call != 1)
            return;
        QCloseEvent closeWait;
        QCoreApplication::sendEvent(WAIT.Loaded()->windowHandle(), &closeWait);
        QCoreApplication::processEvents();
        EXPECT_TRUE(WAIT.IsLoaded());
    };
    main->Command4Click();
    EXPECT_EQ(engines.ran, Strings{"/d/1.sps"});
    EXPECT_EQ(engines.quits, 0);
    EXPECT_FALSE(WAIT.IsLoaded());
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find("stopped by the user"), std::string::npos);
    EXPECT_NE(messages.texts[0].find("Syntaxes executed before: 1"), std::string::npos);
    // The next run starts afresh.
    engines.script.onRun = nullptr;
    main->Command4Click();
    EXPECT_EQ(messages.texts.back(), kCompletionMessage);
}

TEST_F(RunInputTest, TheActiveModalWidgetTakesInputDuringARun) {
    int modalClicks = 0;
    int mainClicks = 0;
    QObject::connect(main->Command2, &QPushButton::clicked, main, [&] { ++mainClicks; });
    engines.script.onRun = [&](int, const std::string&) {
        QDialog box;
        box.setWindowModality(Qt::ApplicationModal);
        auto* ok = new QPushButton("OK", &box);
        ok->setGeometry(10, 10, 80, 30);
        QObject::connect(ok, &QPushButton::clicked, &box, [&] { ++modalClicks; });
        box.show();
        ASSERT_EQ(QApplication::activeModalWidget(), &box);
        PostClick(ok);
        PostClick(main->Command2);
        QCoreApplication::processEvents();
        box.hide();
    };
    main->Command4Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(modalClicks, 1);
    EXPECT_EQ(mainClicks, 0);
}

} // namespace
} // namespace kalvero::test
