// The main window: placement, its state after start, Remove, Add, Run with
// an empty list and Cancel.
#include "tests/support/window_test.h"

#include "batch/run_command.h"
#include "windows/common/placement.h"
#include "windows/common/twips.h"
#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"
#include "windows/syntax_select/syntax_select_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

namespace kalvero::test {
namespace {

using Strings = std::vector<std::string>;

// The next widget that Tab moves to.
const QWidget* NextTabStop(const QWidget* widget) {
    const QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

QStringList Items(const QListWidget& list) {
    QStringList items;
    for (int row = 0; row < list.count(); ++row)
        items << list.item(row)->text();
    return items;
}

TEST(PlacementRules, GiveThePositionsOfTheWorkedExamples) {
    // Main window on a 15360 x 11520 twips screen.
    const TwipsPoint main = FifthAcrossCentred(15360, 11520, 7635, 7260);
    EXPECT_DOUBLE_EQ(main.left, 1545);
    EXPECT_DOUBLE_EQ(main.top, 2130);
    // Progress window: the divisor of Left is 5, not 2.
    const TwipsPoint wait = FifthAcrossCentred(15360, 11520, 5100, 1530);
    EXPECT_DOUBLE_EQ(wait.left, 2052);
    EXPECT_DOUBLE_EQ(wait.top, 4995);
    // The selection dialog right of the main window, tops level.
    const TwipsPoint dialog = RightOf(1545, 2130, 7635);
    EXPECT_DOUBLE_EQ(dialog.left, 9180);
    EXPECT_DOUBLE_EQ(dialog.top, 2130);
    EXPECT_DOUBLE_EQ(RightOf(0, 2130.4, 100).top, 2130);
    // A window larger than the screen stands partly off it.
    EXPECT_LT(FifthAcrossCentred(1000, 1000, 2000, 3000).top, 0);
}

class MainWindowTest : public WindowTest {
protected:
    MainWindow& OpenMain() {
        MainWindow& main = MAIN.Load();
        main.show();
        return main;
    }
};

TEST_F(MainWindowTest, LoadPlacesTheWindowByItsOuterSizeAndTheScreen) {
    MainWindow& main = MAIN.Load();
    // Before the first show the window's outer size is all there is to go by.
    const TwipsSize screen = ScreenSizeInTwips(main);
    const TwipsSize outer = OuterSizeInTwips(main);
    main.show();
    const TwipsPoint expected =
        FifthAcrossCentred(static_cast<float>(screen.width), static_cast<float>(screen.height),
                           static_cast<float>(outer.width), static_cast<float>(outer.height));
    EXPECT_EQ(main.frameGeometry().topLeft(),
              QPoint(TwipsToPixelsX(expected.left), TwipsToPixelsY(expected.top)));
    // The client area below the menu bar is 7515 x 6465 twips.
    EXPECT_EQ(main.centralWidget()->size(), QSize(TwipsToPixelsX(7515), TwipsToPixelsY(6465)));
}

TEST_F(MainWindowTest, StartsWithEmptyListSyntaxViewerAndShutDownUnticked) {
    MainWindow& main = OpenMain();
    EXPECT_EQ(main.windowTitle(), QStringLiteral("SPSS - KALVERO"));
    EXPECT_EQ(main.List1->count(), 0);
    EXPECT_TRUE(main.Option1->isChecked());
    EXPECT_FALSE(main.Option2->isChecked());
    EXPECT_TRUE(main.Option3->isChecked());
    EXPECT_FALSE(main.Option4->isChecked());
    EXPECT_FALSE(main.Option5->isChecked());
    EXPECT_FALSE(main.Check1->isChecked());
    EXPECT_FALSE(main.isMinimized());
    EXPECT_FALSE(SYNT_SELECT.IsLoaded());
    EXPECT_FALSE(WAIT.IsLoaded());

    // Option5 belongs to the output group although it comes late in tab order.
    main.Option5->setChecked(true);
    EXPECT_FALSE(main.Option3->isChecked());
    EXPECT_TRUE(main.Option1->isChecked());
    EXPECT_EQ(main.Option5->parentWidget(), main.Frame2);

    // Menu: two top-level items, "Help" then "About ".
    const QList<QAction*> menu = main.menuBar()->actions();
    ASSERT_EQ(menu.size(), 2);
    EXPECT_EQ(menu[0], main.Help);
    EXPECT_EQ(menu[0]->text(), QStringLiteral("Help"));
    EXPECT_EQ(menu[1]->text(), QStringLiteral("About "));
    EXPECT_EQ(menu[0]->menu(), nullptr);

    // Tab order as listed: Command1, Command2, List1, Option1, Option2,
    // Option3, Option4, Command3, Command4, Option5, Check1.
    const QWidget* const order[] = {main.Command1, main.Command2, main.List1,   main.Option1,
                                    main.Option2,  main.Option3,  main.Option4, main.Command3,
                                    main.Command4, main.Option5,  main.Check1};
    for (std::size_t i = 1; i < std::size(order); ++i)
        EXPECT_EQ(NextTabStop(order[i - 1]), order[i]) << order[i]->objectName().toStdString();

    // Neither Enter nor Escape triggers a button.
    for (const QPushButton* button : {main.Command1, main.Command2, main.Command3, main.Command4})
        EXPECT_FALSE(button->isDefault() || button->autoDefault());
}

TEST_F(MainWindowTest, RemoveWithNothingSelectedShowsMessageAndKeepsList) {
    MainWindow& main = OpenMain();
    main.Command2Click();
    main.AppendEntry(QStringLiteral("/a.sps"));
    main.AppendEntry(QStringLiteral("/b.sps"));
    main.List1->clearSelection();
    main.Command2Click();
    EXPECT_EQ(messages.texts, Strings(2, kNoItemSelectedMessage));
    EXPECT_EQ(Items(*main.List1), (QStringList{"/a.sps", "/b.sps"}));
}

TEST_F(MainWindowTest, RemoveTheSecondOfThreeLeavesNoSelectionSoRemoveAgainShowsMessage) {
    MainWindow& main = OpenMain();
    for (const char* entry : {"/d/a.sps", "/d/b.sps", "/d/c.sps"})
        main.AppendEntry(QString::fromLatin1(entry));
    main.List1->setCurrentRow(1);
    main.Command2Click();
    EXPECT_EQ(Items(*main.List1), (QStringList{"/d/a.sps", "/d/c.sps"}));
    EXPECT_TRUE(main.List1->selectedItems().isEmpty());
    EXPECT_TRUE(messages.texts.empty());

    main.Command2Click();
    EXPECT_EQ(messages.texts, Strings{kNoItemSelectedMessage});
    EXPECT_EQ(main.List1->count(), 2);
}

TEST_F(MainWindowTest, AddWhileTheDialogIsOpenBringsItForwardWithoutASecondOne) {
    MainWindow& main = OpenMain();
    main.Command1Click();
    SyntaxSelectWindow* dialog = SYNT_SELECT.Loaded();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->move(dialog->pos() + QPoint(30, 40));
    const QPoint moved = dialog->pos();

    main.Command1Click();
    EXPECT_EQ(SYNT_SELECT.Loaded(), dialog);
    EXPECT_EQ(dialog->pos(), moved);
    int dialogs = 0;
    for (const QWidget* window : QApplication::topLevelWidgets())
        dialogs += qobject_cast<const SyntaxSelectWindow*>(window) != nullptr;
    EXPECT_EQ(dialogs, 1);
}

TEST_F(MainWindowTest, RunWithAnEmptyListClosesTheDialogAndOnlyShowsTheMessage) {
    MainWindow& main = OpenMain();
    main.Command1Click();
    ASSERT_TRUE(SYNT_SELECT.IsLoaded());
    main.Command4Click();
    EXPECT_FALSE(SYNT_SELECT.IsLoaded());
    EXPECT_EQ(messages.texts, Strings{kEmptyListMessage});
    EXPECT_EQ(engines.created, 0);
    EXPECT_FALSE(WAIT.IsLoaded());
    EXPECT_FALSE(main.isMinimized());
}

TEST_F(MainWindowTest, CancelClosesTheDialogAndTheMainWindow) {
    MainWindow& main = OpenMain();
    main.Command1Click();
    QPointer<QWidget> mainWindow = &main;
    QPointer<QWidget> dialog = SYNT_SELECT.Loaded();
    main.Command3Click();
    EXPECT_FALSE(MAIN.IsLoaded());
    EXPECT_FALSE(SYNT_SELECT.IsLoaded());
    FlushDeletes();
    EXPECT_TRUE(mainWindow.isNull());
    EXPECT_TRUE(dialog.isNull());
    // The next use loads a fresh main window with the defaults.
    EXPECT_EQ(MAIN.Load().List1->count(), 0);
}

TEST_F(MainWindowTest, RunSettingsFollowTheControls) {
    MainWindow& main = OpenMain();
    main.AppendEntry(QStringLiteral("/d/x y.sps"));
    main.AppendEntry(QString::fromUtf8("/d/\xc3\xa9t\xc3\xa9.SPS"));
    RunSettings settings = main.ReadRunSettings();
    EXPECT_EQ(settings.entries, (Strings{"/d/x y.sps", "/d/\xc3\xa9t\xc3\xa9.SPS"}));
    EXPECT_EQ(settings.inputMode, InputMode::SyntaxFiles);
    EXPECT_EQ(settings.outputFormat, OutputFormat::Viewer);
    EXPECT_FALSE(settings.shutDownAfterRun);

    main.Option2->setChecked(true);
    main.Option4->setChecked(true);
    main.Check1->setChecked(true);
    settings = main.ReadRunSettings();
    EXPECT_EQ(settings.inputMode, InputMode::SyntaxLists);
    EXPECT_EQ(settings.outputFormat, OutputFormat::Draft);
    EXPECT_TRUE(settings.shutDownAfterRun);
    main.Option5->setChecked(true);
    EXPECT_EQ(main.ReadRunSettings().outputFormat, OutputFormat::Text);
}

} // namespace
} // namespace kalvero::test
