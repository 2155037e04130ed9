// The syntax selection dialog: where it starts and stands, what its lists
// show, and the entries that clicks on files append to the main window.
#include "tests/support/window_test.h"

#include "windows/common/placement.h"
#include "windows/common/twips.h"
#include "windows/main/main_window.h"
#include "windows/syntax_select/syntax_select_window.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace kalvero::test {
namespace {

QStringList Items(const QListWidget& list) {
    QStringList items;
    for (int row = 0; row < list.count(); ++row)
        items << list.item(row)->text();
    return items;
}

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

void ClickItem(QListWidget& list, const QString& text) {
    const QList<QListWidgetItem*> found = list.findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(found.front()).center());
}

QListWidgetItem* FindDirectory(DirectoryList& list, const QString& name) {
    const QList<QListWidgetItem*> found = list.findItems(name, Qt::MatchExactly);
    return found.size() == 1 ? found.front() : nullptr;
}

class SyntaxSelectTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        previous = QDir::currentPath();
        Touch(folder.filePath("wave1.sps"));
        Touch(folder.filePath("lists.txt"));
        Touch(folder.filePath(".hidden.sps"));
        ASSERT_TRUE(QDir(folder.path()).mkdir("sub"));
        Touch(folder.filePath("sub/inner.sps"));
        ASSERT_TRUE(QDir::setCurrent(folder.path()));
        main = &MAIN.Load();
        main->show();
    }
    void TearDown() override {
        QDir::setCurrent(previous);
        WindowTest::TearDown();
    }
    SyntaxSelectWindow& OpenDialog() {
        main->Command1Click();
        return *SYNT_SELECT.Loaded();
    }

    QTemporaryDir folder;
    QString previous;
    MainWindow* main = nullptr;
};

TEST_F(SyntaxSelectTest, StartsAtTheWorkingDirectoryListingFilesThatAreNotHidden) {
    SyntaxSelectWindow& dialog = OpenDialog();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Syntax Selection "));
    EXPECT_EQ(dialog.Command1->text(), QStringLiteral("EXIT "));
    EXPECT_EQ(dialog.Dir1->Path(), QDir::currentPath());
    EXPECT_EQ(Items(*dialog.File1), (QStringList{"lists.txt", "wave1.sps"}));
    EXPECT_TRUE(dialog.File1->selectedItems().isEmpty());
    EXPECT_NE(FindDirectory(*dialog.Dir1, "sub"), nullptr);
    EXPECT_EQ(dialog.Drive1->itemText(0), QStringLiteral("/"));
}

// Deep in the tree, the current directory is shown with its subdirectories
// below it, not in the last row with its subdirectories out of view.
TEST_F(SyntaxSelectTest, ShowsTheCurrentDirectoryWithItsSubdirectories) {
    const QString deep = folder.filePath(QStringLiteral("a/b/c/d/e/f/g/h/i/j/k/l"));
    for (const char* sub : {"s1", "s2", "s3"})
        ASSERT_TRUE(QDir().mkpath(deep + QLatin1Char('/') + QLatin1String(sub)));
    QDir::setCurrent(deep);
    SyntaxSelectWindow& dialog = OpenDialog();
    dialog.show();
    const int row = dialog.Dir1->CurrentDirectoryRow();
    QListWidgetItem* current = dialog.Dir1->item(row);
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->text(), QStringLiteral("l"));
    EXPECT_EQ(dialog.Dir1->currentItem(), current);
    const QRect view = dialog.Dir1->viewport()->rect();
    // The list has room for a few rows: the current directory comes first.
    EXPECT_EQ(dialog.Dir1->visualItemRect(current).top(), 0);
    ASSERT_NE(dialog.Dir1->item(row + 1), nullptr);
    EXPECT_EQ(dialog.Dir1->item(row + 1)->text(), QStringLiteral("s1"));
    EXPECT_TRUE(view.contains(dialog.Dir1->visualItemRect(dialog.Dir1->item(row + 1))));
}

TEST_F(SyntaxSelectTest, StandsRightOfTheMainWindowWithTopsLevel) {
    main->move(main->pos() + QPoint(13, 21));
    SyntaxSelectWindow& dialog = OpenDialog();
    const TwipsPoint mainPosition = OuterPositionInTwips(*main);
    const TwipsPoint expected =
        RightOf(mainPosition.left, mainPosition.top, OuterSizeInTwips(*main).width);
    const TwipsPoint actual = OuterPositionInTwips(dialog);
    EXPECT_DOUBLE_EQ(actual.left, expected.left);
    EXPECT_DOUBLE_EQ(actual.top, expected.top);
    EXPECT_EQ(dialog.size(), QSize(TwipsToPixelsX(4845), TwipsToPixelsY(5430)));
}

TEST_F(SyntaxSelectTest, EachClickOnAFileAppendsItsFullPathAtOnce) {
    SyntaxSelectWindow& dialog = OpenDialog();
    const QString here = QDir::currentPath();
    ClickItem(*dialog.File1, "wave1.sps");
    EXPECT_EQ(Items(*main->List1), QStringList{here + "/wave1.sps"});
    // The same file again gives a second, equal entry; any extension counts.
    ClickItem(*dialog.File1, "wave1.sps");
    ClickItem(*dialog.File1, "lists.txt");
    EXPECT_EQ(Items(*main->List1),
              (QStringList{here + "/wave1.sps", here + "/wave1.sps", here + "/lists.txt"}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.File1->currentItem()->text(), QStringLiteral("lists.txt"));

    // From the keyboard: arrows only move, Enter and Space pick like a click.
    main->List1->clear();
    dialog.File1->setFocus();
    QTest::keyClick(dialog.File1, Qt::Key_Down);
    EXPECT_EQ(main->List1->count(), 0);
    EXPECT_EQ(dialog.File1->currentItem()->text(), QStringLiteral("wave1.sps"));
    QTest::keyClick(dialog.File1, Qt::Key_Return);
    QTest::keyClick(dialog.File1, Qt::Key_Up);
    QTest::keyClick(dialog.File1, Qt::Key_Space);
    QTest::keyClick(dialog.File1, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(Items(*main->List1),
              (QStringList{here + "/wave1.sps", here + "/lists.txt", here + "/lists.txt"}));
    EXPECT_TRUE(dialog.File1->currentItem()->isSelected());
}

TEST(EntryFor, UsesOneSeparatorAlsoAtTheRoot) {
    EXPECT_EQ(EntryFor("/", "x.sps"), QStringLiteral("/x.sps"));
    EXPECT_EQ(EntryFor("/data/study", "wave1.SPS"), QStringLiteral("/data/study/wave1.SPS"));
}

TEST_F(SyntaxSelectTest, OpeningADirectoryMovesTheFileListButNotTheWorkingDirectory) {
    SyntaxSelectWindow& dialog = OpenDialog();
    QListWidgetItem* sub = FindDirectory(*dialog.Dir1, "sub");
    ASSERT_NE(sub, nullptr);
    dialog.Dir1->setCurrentItem(sub);
    QTest::keyClick(dialog.Dir1, Qt::Key_Return);
    EXPECT_EQ(dialog.Dir1->Path(), folder.filePath("sub"));
    EXPECT_EQ(Items(*dialog.File1), QStringList{"inner.sps"});
    ClickItem(*dialog.File1, "inner.sps");
    EXPECT_EQ(Items(*main->List1), QStringList{folder.filePath("sub/inner.sps")});
    EXPECT_EQ(QDir::currentPath(), folder.path());

    // A parent above the current directory opens the same way.
    QListWidgetItem* parent = dialog.Dir1->item(dialog.Dir1->CurrentDirectoryRow() - 1);
    ASSERT_NE(parent, nullptr);
    dialog.Dir1->setCurrentItem(parent);
    QTest::keyClick(dialog.Dir1, Qt::Key_Return);
    EXPECT_EQ(dialog.Dir1->Path(), folder.path());

    // EXIT, and the next opening starts again at the working directory.
    dialog.Dir1->SetPath(folder.filePath("sub"));
    QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    EXPECT_FALSE(SYNT_SELECT.IsLoaded());
    EXPECT_EQ(main->List1->count(), 1);
    FlushDeletes();
    EXPECT_EQ(OpenDialog().Dir1->Path(), folder.path());
}

TEST_F(SyntaxSelectTest, AFileSystemThatCannotBeReadIsIgnoredSilently) {
    SyntaxSelectWindow& dialog = OpenDialog();
    dialog.Drive1->addItem(folder.filePath("no-such-mount"));
    dialog.Drive1->setCurrentIndex(dialog.Drive1->count() - 1);
    EXPECT_EQ(dialog.Drive1->Drive(), folder.filePath("no-such-mount"));
    EXPECT_EQ(dialog.Dir1->Path(), folder.path());
    EXPECT_EQ(Items(*dialog.File1), (QStringList{"lists.txt", "wave1.sps"}));
    EXPECT_TRUE(messages.texts.empty());

    // Picking "/" moves both lists to the root.
    dialog.Drive1->setCurrentIndex(0);
    EXPECT_EQ(dialog.Dir1->Path(), QStringLiteral("/"));
    EXPECT_EQ(dialog.File1->Path(), QStringLiteral("/"));
}

TEST_F(SyntaxSelectTest, AClickAfterTheMainWindowWasClosedAddsNothingAndDoesNotCrash) {
    SyntaxSelectWindow& dialog = OpenDialog();
    main->close();
    FlushDeletes();
    ClickItem(*dialog.File1, "wave1.sps");
    EXPECT_FALSE(MAIN.IsLoaded());
}

} // namespace
} // namespace kalvero::test
