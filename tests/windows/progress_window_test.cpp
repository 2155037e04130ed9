// The progress window through whole runs with a fake engine, and the bar's
// single-precision range and value.
#include "tests/support/window_test.h"

#include "batch/run_command.h"
#include "windows/common/placement.h"
#include "windows/common/twips.h"
#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QWindow>

namespace kalvero::test {
namespace {

using Strings = std::vector<std::string>;

struct BarState {
    bool windowShown;
    bool barHidden;
    float min;
    float max;
    float value;
    bool mainMinimised;
};

BarState Observe() {
    ProgressWindow* wait = WAIT.Loaded();
    if (!wait)
        return {false, false, -1, -1, -1, false};
    const MainWindow* main = MAIN.Loaded();
    return {wait->isVisible(),         wait->ProgressBar1->isHidden(), wait->ProgressBar1->Min(),
            wait->ProgressBar1->Max(), wait->ProgressBar1->Value(),    main && main->isMinimized()};
}

bool operator==(const BarState& a, const BarState& b) {
    return a.windowShown == b.windowShown && a.barHidden == b.barHidden && a.min == b.min &&
           a.max == b.max && a.value == b.value && a.mainMinimised == b.mainMinimised;
}

std::ostream& operator<<(std::ostream& out, const BarState& s) {
    return out << "{shown " << s.windowShown << ", hidden bar " << s.barHidden << ", " << s.min
               << ".." << s.max << " at " << s.value << ", main minimised " << s.mainMinimised
               << "}";
}

// The window as a user closes it with its close box.
void CloseBox(QWidget& window) {
    QCloseEvent close;
    QCoreApplication::sendEvent(window.windowHandle(), &close);
}

// Expected position of a freshly loaded progress window.
QPoint PlacedPosition(const QWidget& window) {
    const TwipsSize screen = ScreenSizeInTwips(window);
    const TwipsSize outer = OuterSizeInTwips(window);
    const TwipsPoint at =
        FifthAcrossCentred(static_cast<float>(screen.width), static_cast<float>(screen.height),
                           static_cast<float>(outer.width), static_cast<float>(outer.height));
    return QPoint(TwipsToPixelsX(at.left), TwipsToPixelsY(at.top));
}

class ProgressWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        main = &MAIN.Load();
        main->show();
        engines.script.onRun = [this](int, const std::string&) { during.push_back(Observe()); };
    }
    void Add(const QString& entry) { main->AppendEntry(entry); }
    QString WriteList(const QByteArray& content) {
        const QString path = folder.filePath("list.txt");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    QTemporaryDir folder;
    MainWindow* main = nullptr;
    std::vector<BarState> during;
};

TEST_F(ProgressWindowTest, SyntaxFilesRunShowsEntriesDoneOnTheBarAndClosesAtTheEnd) {
    for (const char* name : {"/d/1.sps", "/d/2.sps", "/d/3.sps", "/d/4.sps"})
        Add(QString::fromLatin1(name));
    float valueAtQuit = -1;
    engines.script.onQuit = [&] { valueAtQuit = WAIT.Loaded()->ProgressBar1->Value(); };
    main->Command4Click();

    // 1 of 4 while the first and the second entry run, then 2 and 3 of 4.
    const std::vector<BarState> expected = {{true, false, 0, 4, 1, true},
                                            {true, false, 0, 4, 1, true},
                                            {true, false, 0, 4, 2, true},
                                            {true, false, 0, 4, 3, true}};
    EXPECT_EQ(during, expected);
    EXPECT_EQ(valueAtQuit, 4.0f);
    EXPECT_FALSE(WAIT.IsLoaded());
    EXPECT_EQ(messages.texts, Strings{kCompletionMessage});
    EXPECT_TRUE(main->isMinimized());
    EXPECT_EQ(main->List1->count(), 4);
    EXPECT_EQ(engines.written, (Strings{"/d/1.spo", "/d/2.spo", "/d/3.spo", "/d/4.spo"}));
}

TEST_F(ProgressWindowTest, OneEntryKeepsTheBarFull) {
    Add("/d/only.sps");
    main->Command4Click();
    EXPECT_EQ(during, (std::vector<BarState>{{true, false, 0, 1, 1, true}}));
}

TEST_F(ProgressWindowTest, ListRunShowsTheLabelAloneAndTheWindowIsPlacedButNotReloaded) {
    Add(WriteList("/d/a.sps\n* comment\n\n/d/b.sps\n"));
    main->Option2->setChecked(true);
    QPoint firstPosition;
    ProgressWindow* loaded = nullptr;
    engines.script.onRun = [&](int, const std::string&) {
        during.push_back(Observe());
        loaded = WAIT.Loaded();
        firstPosition = loaded->frameGeometry().topLeft();
        EXPECT_TRUE(loaded->Label1->isVisible());
    };
    main->Command4Click();
    EXPECT_EQ(engines.ran, (Strings{"/d/a.sps", "/d/b.sps"}));
    ASSERT_EQ(during.size(), 2u);
    EXPECT_TRUE(during[0].barHidden && during[1].barHidden);
    EXPECT_TRUE(during[0].windowShown);
    EXPECT_EQ(messages.texts, Strings{kCompletionMessage});
    EXPECT_FALSE(WAIT.IsLoaded());
}

TEST_F(ProgressWindowTest, FailedListRunLeavesTheWindowForTheNextRunUntilItsCloseBox) {
    // A list run that fails: the window stays with the label alone.
    Add(WriteList("/d/a.sps\n/d/bad.sps\n"));
    main->Option2->setChecked(true);
    engines.script.failRunOn = "/d/bad.sps";
    main->Command4Click();
    ProgressWindow* left = WAIT.Loaded();
    ASSERT_NE(left, nullptr);
    EXPECT_TRUE(left->isVisible());
    EXPECT_TRUE(left->ProgressBar1->isHidden());
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0], kCompletionMessage);
    EXPECT_NE(messages.texts[0].find("bad.sps"), std::string::npos);

    // The next run of syntax files reuses it as it stands: not reloaded, not
    // placed again, bar still hidden while its range and value are set.
    left->setProperty("marker", 1);
    left->move(left->pos() + QPoint(17, 9));
    const QPoint movedTo = left->pos();
    main->List1->clear();
    Add("/d/1.sps");
    Add("/d/bad.sps");
    main->Option1->setChecked(true);
    during.clear();
    engines.script.onRun = [&](int, const std::string&) {
        during.push_back(Observe());
        EXPECT_EQ(WAIT.Loaded(), left);
        EXPECT_EQ(left->property("marker").toInt(), 1);
        EXPECT_EQ(left->pos(), movedTo);
    };
    main->Command4Click();
    EXPECT_EQ(during,
              (std::vector<BarState>{{true, true, 0, 2, 1, true}, {true, true, 0, 2, 1, true}}));
    ASSERT_EQ(WAIT.Loaded(), left);

    // Its close box unloads it; the next run loads a fresh one, placed anew,
    // from the design settings (bar visible).
    QPointer<ProgressWindow> old = left;
    CloseBox(*left);
    EXPECT_FALSE(WAIT.IsLoaded());
    FlushDeletes();
    EXPECT_TRUE(old.isNull());
    engines.script.failRunOn.clear();
    during.clear();
    engines.script.onRun = [&](int, const std::string&) {
        during.push_back(Observe());
        ProgressWindow* fresh = WAIT.Loaded();
        EXPECT_FALSE(fresh->property("marker").isValid());
        EXPECT_EQ(fresh->frameGeometry().topLeft(), PlacedPosition(*fresh));
    };
    main->Command4Click();
    EXPECT_EQ(during,
              (std::vector<BarState>{{true, false, 0, 2, 1, true}, {true, false, 0, 2, 1, true}}));
    EXPECT_FALSE(WAIT.IsLoaded());
}

TEST_F(ProgressWindowTest, EngineThatCannotStartLeavesTheShownWindowAndMinimisedMain) {
    engines.script.failCreate = true;
    engines.script.createFailure = "Cannot start pspp: not found";
    Add("/d/1.sps");
    main->Command4Click();
    ASSERT_TRUE(WAIT.IsLoaded());
    EXPECT_TRUE(WAIT.Loaded()->isVisible());
    EXPECT_TRUE(main->isMinimized());
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find("Cannot start pspp"), std::string::npos);
}

TEST(SingleProgressBar, ReadsBackTheNumbersSetAndShowsTheirShare) {
    SingleProgressBar bar(nullptr);
    EXPECT_EQ(bar.Min(), 0.0f);
    EXPECT_EQ(bar.Max(), 100.0f);
    bar.SetMin(0.0f);
    bar.SetMax(3.0f);
    bar.SetValue(1.5f);
    EXPECT_EQ(bar.Value(), 1.5f);
    EXPECT_EQ(bar.value() - bar.minimum(), (bar.maximum() - bar.minimum()) / 2);
    bar.SetValue(3.0f);
    EXPECT_EQ(bar.value(), bar.maximum());
    // A value outside the range is kept as set; the bar shows it clipped.
    bar.SetValue(7.25f);
    EXPECT_EQ(bar.Value(), 7.25f);
    EXPECT_EQ(bar.value(), bar.maximum());
    bar.SetMax(0.0f);
    EXPECT_EQ(bar.value(), bar.minimum());
}

TEST_F(ProgressWindowTest, LoadsWithTheDesignedContents) {
    ProgressWindow& wait = WAIT.Load();
    EXPECT_FALSE(wait.isVisible());
    EXPECT_EQ(wait.windowTitle(), QStringLiteral("WAIT"));
    EXPECT_EQ(wait.size(), QSize(TwipsToPixelsX(4980), TwipsToPixelsY(1125)));
    EXPECT_EQ(wait.Label1->text(), QStringLiteral(" SPSS KALVERO is working ....."));
    EXPECT_EQ(wait.Label1->font().family(), QStringLiteral("Arial"));
    EXPECT_DOUBLE_EQ(wait.Label1->font().pointSizeF(), 9.75);
    EXPECT_TRUE(wait.Label1->font().bold());
    EXPECT_EQ(wait.ProgressBar1->geometry(), TwipsRect(0, 840, 4935, 255));
    EXPECT_EQ(wait.frameGeometry().topLeft(), PlacedPosition(wait));
}

} // namespace
} // namespace kalvero::test
