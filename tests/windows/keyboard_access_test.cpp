// The windows without a mouse and through a screen reader: what Qt's
// accessibility interface reports for every window and control (the names
// and roles a screen reader speaks), where the keyboard focus is seen, and
// the menu bar from the keyboard (F10).
#include "tests/support/window_test.h"

#include "windows/about/about_box.h"
#include "windows/common/message_box.h"
#include "windows/help/help_window.h"
#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"
#include "windows/syntax_select/syntax_select_window.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFocusFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <map>

namespace kalvero::test {
namespace {

QAccessibleInterface* Accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

std::string Describe(QAccessibleInterface* node) {
    const QObject* object = node->object();
    return (object ? object->objectName().toStdString() : std::string("(item)")) + " role " +
           std::to_string(node->role()) + " \"" + node->text(QAccessible::Name).toStdString() +
           "\"";
}

// Every node below root that a screen reader would speak by name.
void ExpectEveryControlNamed(QAccessibleInterface* root, int& named) {
    static const QAccessible::Role spoken[] = {
        QAccessible::PushButton,   QAccessible::RadioButton, QAccessible::CheckBox,
        QAccessible::List,         QAccessible::ListItem,    QAccessible::ComboBox,
        QAccessible::EditableText, QAccessible::ProgressBar, QAccessible::StaticText,
        QAccessible::Grouping,     QAccessible::MenuItem,    QAccessible::Tree,
        QAccessible::Table,        QAccessible::ColumnHeader};
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (!child)
            continue;
        // A column header in a list of folders is a stray "1" to a listener.
        EXPECT_NE(child->role(), QAccessible::ColumnHeader) << Describe(child);
        if (std::count(std::begin(spoken), std::end(spoken), child->role()) > 0) {
            EXPECT_FALSE(child->text(QAccessible::Name).trimmed().isEmpty()) << Describe(child);
            ++named;
        }
        ExpectEveryControlNamed(child, named);
    }
}

class KeyboardAccessTest : public WindowTest {
protected:
    void TearDown() override {
        HILFE.Unload();
        frmAbout.Unload();
        WindowTest::TearDown();
    }
    static void Activate(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

TEST_F(KeyboardAccessTest, EveryWindowAndControlHasTheRoleAndNameAScreenReaderNeeds) {
    MainWindow& main = MAIN.Load();
    main.Command1Click();
    const std::vector<std::pair<QWidget*, QAccessible::Role>> windows = {
        {&main, QAccessible::Window},
        {SYNT_SELECT.Loaded(), QAccessible::Window},
        {&WAIT.Load(), QAccessible::Window},
        {&HILFE.Load(), QAccessible::Window},
        {&frmAbout.Load(), QAccessible::Dialog}};
    int named = 0;
    for (const auto& [window, role] : windows) {
        QAccessibleInterface* node = Accessible(window);
        EXPECT_EQ(node->role(), role) << window->objectName().toStdString();
        EXPECT_EQ(node->text(QAccessible::Name), window->windowTitle());
        ExpectEveryControlNamed(node, named);
    }
    EXPECT_GE(named, 30);
    MessageBox box(QStringLiteral("No Item selected to be removed"));
    EXPECT_EQ(Accessible(&box)->role(), QAccessible::AlertMessage);

    // Controls without a caption of their own are named for what they hold
    // (a drop-down list is read by its current text on this platform, its
    // opened list by its name).
    const SyntaxSelectWindow& dialog = *SYNT_SELECT.Loaded();
    const std::map<QWidget*, QString> names = {
        {main.List1, QStringLiteral("Syntaxes or lists of syntaxes")},
        {dialog.Drive1->view(), QStringLiteral("Drives")},
        {dialog.Dir1, QStringLiteral("Folders")},
        {dialog.File1, QStringLiteral("Files")},
        {HILFE.Loaded()->Text1, QStringLiteral("Help text")},
        {WAIT.Loaded()->ProgressBar1, WAIT.Loaded()->Label1->text()},
        {main.Frame1, QStringLiteral("Input")}};
    for (const auto& [control, name] : names)
        EXPECT_EQ(Accessible(control)->text(QAccessible::Name), name)
            << control->objectName().toStdString();
    // The folders are read as items of the list, the current one among them.
    QAccessibleInterface* folders = Accessible(dialog.Dir1);
    ASSERT_EQ(folders->childCount(), dialog.Dir1->count());
    EXPECT_EQ(folders->child(0)->text(QAccessible::Name), QStringLiteral("/"));
}

TEST_F(KeyboardAccessTest, FocusIsFramedOnListsAndButtons) {
    MainWindow& main = MAIN.Load();
    Activate(main);
    main.Command1Click();
    SyntaxSelectWindow& dialog = *SYNT_SELECT.Loaded();
    const std::vector<std::pair<QWidget*, QWidget*>> controls = {
        {&main, main.List1},    {&main, main.Command4},  {&main, main.Option3},
        {&dialog, dialog.Dir1}, {&dialog, dialog.File1}, {&dialog, dialog.Command1}};
    for (const auto& [window, control] : controls) {
        Activate(*window);
        control->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(control->hasFocus()) << control->objectName().toStdString();
        // Two pixels of the window's text colour just outside the control.
        const QImage image = window->grab().toImage();
        const QColor ring = control->palette().color(QPalette::WindowText);
        for (const QPoint outside :
             {QPoint(-1, control->height() / 2), QPoint(-2, control->height() / 2),
              QPoint(control->width() / 2, control->height())})
            EXPECT_EQ(image.pixelColor(control->mapTo(window, outside)), ring)
                << control->objectName().toStdString() << " at " << outside.x() << ","
                << outside.y();
    }
}

TEST_F(KeyboardAccessTest, F10OpensTheMenuWhoseItemsKeepNoFocusOnceChosen) {
    MainWindow& main = MAIN.Load();
    Activate(main);
    main.List1->setFocus();
    QMenuBar& bar = *main.menuBar();
    QAccessibleInterface* help = Accessible(&bar)->child(0);
    ASSERT_EQ(help->text(QAccessible::Name), QStringLiteral("Help"));

    QTest::keyClick(&main, Qt::Key_F10);
    EXPECT_EQ(QApplication::focusWidget(), &bar);
    EXPECT_EQ(bar.activeAction(), main.Help);
    EXPECT_TRUE(help->state().focused);
    QTest::keyClick(&bar, Qt::Key_Right);
    EXPECT_EQ(bar.activeAction(), main.Info);
    QTest::keyClick(&bar, Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), main.List1);
    EXPECT_EQ(bar.activeAction(), nullptr);

    // Enter chooses Help; the keyboard goes back where it was in MAIN.
    QTest::keyClick(&main, Qt::Key_F10);
    QTest::keyClick(&bar, Qt::Key_Return);
    ASSERT_TRUE(HILFE.IsLoaded());
    EXPECT_EQ(main.focusWidget(), main.List1);
    EXPECT_FALSE(help->state().focused);
    HILFE.Unload();

    // Space chooses About.
    Activate(main);
    QTest::keyClick(&main, Qt::Key_F10);
    QTest::keyClick(&bar, Qt::Key_Right);
    QTest::keyClick(&bar, Qt::Key_Space);
    EXPECT_TRUE(frmAbout.IsLoaded());
    EXPECT_EQ(bar.activeAction(), nullptr);
    frmAbout.Unload();

    // A click on Help leaves the item unlit once the help window is open.
    Activate(main);
    const QPoint item = bar.actionGeometry(main.Help).center();
    QTest::mouseMove(&bar, item);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, item);
    ASSERT_TRUE(HILFE.IsLoaded());
    EXPECT_FALSE(help->state().focused);
}

} // namespace
} // namespace kalvero::test
