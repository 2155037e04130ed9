// End to end with the real PSPP engine: syntax files picked through the
// dialog, run in each output format, and a list run of an LF list file.
#include "tests/support/window_test.h"

#include "batch/run_command.h"
#include "platform/pspp_engine.h"
#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"
#include "windows/syntax_select/syntax_select_window.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace kalvero::test {
namespace {

using Strings = std::vector<std::string>;

const char* const kFirstSyntax = "DATA LIST LIST /score.\n"
                                 "BEGIN DATA\n"
                                 "3\n"
                                 "5\n"
                                 "10\n"
                                 "END DATA.\n"
                                 "DESCRIPTIVES score.\n";
const char* const kSecondSyntax = "ECHO 'kalvero second syntax'.\n"
                                  "DATA LIST LIST /group.\n"
                                  "BEGIN DATA\n"
                                  "1\n"
                                  "2\n"
                                  "2\n"
                                  "END DATA.\n"
                                  "FREQUENCIES group.\n";

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

class EndToEndTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Services().engines = &pspp;
        ASSERT_TRUE(folder.isValid());
        Write(folder.filePath("first.sps"), kFirstSyntax);
        Write(folder.filePath("second.sps"), kSecondSyntax);
        previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder.path()));
        main = &MAIN.Load();
        main->show();
    }
    void TearDown() override {
        QDir::setCurrent(previous);
        WindowTest::TearDown();
    }

    // Picks both syntax files in the dialog.
    void PickBoth() {
        main->Command1Click();
        SyntaxSelectWindow& dialog = *SYNT_SELECT.Loaded();
        for (const char* name : {"first.sps", "second.sps"}) {
            const QList<QListWidgetItem*> found =
                dialog.File1->findItems(QString::fromLatin1(name), Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << name;
            QTest::mouseClick(dialog.File1->viewport(), Qt::LeftButton, {},
                              dialog.File1->visualItemRect(found.front()).center());
        }
        ASSERT_EQ(main->List1->count(), 2);
    }

    void ExpectCompletedRun() {
        EXPECT_EQ(messages.texts, Strings{kCompletionMessage});
        EXPECT_FALSE(WAIT.IsLoaded());
        EXPECT_FALSE(SYNT_SELECT.IsLoaded());
        EXPECT_TRUE(main->isMinimized());
        EXPECT_EQ(main->List1->count(), 2);
        EXPECT_EQ(shutDown.requests, 0);
    }

    PsppEngineFactory pspp;
    QTemporaryDir folder;
    QString previous;
    MainWindow* main = nullptr;
};

TEST_F(EndToEndTest, EachFormatWritesBothOutputsBesideTheirSyntaxFiles) {
    PickBoth();
    const QString here = QDir::currentPath();

    main->Option3->setChecked(true);
    main->Command4Click();
    ExpectCompletedRun();
    for (const char* name : {"first.spo", "second.spo"})
        EXPECT_TRUE(Read(here + "/" + name).startsWith("PK")) << name << " is no SPV (zip) file";

    messages.texts.clear();
    main->Option4->setChecked(true);
    main->Command4Click();
    ExpectCompletedRun();
    EXPECT_TRUE(Read(here + "/first.rtf").startsWith("{\\rtf"));
    EXPECT_TRUE(Read(here + "/second.rtf").contains("kalvero second syntax"));

    messages.texts.clear();
    main->Option5->setChecked(true);
    main->Command4Click();
    ExpectCompletedRun();
    const QByteArray firstText = Read(here + "/first.txt");
    EXPECT_TRUE(firstText.contains("score")) << firstText.toStdString();
    EXPECT_TRUE(firstText.contains("6.00")) << "the mean of 3, 5 and 10";
    EXPECT_TRUE(Read(here + "/second.txt").contains("kalvero second syntax"));
}

TEST_F(EndToEndTest, ListRunOfAnLfListFileRunsEveryNamedSyntax) {
    const QString here = QDir::currentPath();
    const QByteArray list = QFile::encodeName(here + "/first.sps") + "\n* a comment\n\n" +
                            QFile::encodeName(here + "/second.sps") + "\n";
    Write(here + "/syntaxes.lst", list);
    main->AppendEntry(here + "/syntaxes.lst");
    main->AppendEntry(here + "/syntaxes.lst");
    main->Option2->setChecked(true);
    main->Option5->setChecked(true);
    main->Command4Click();
    ExpectCompletedRun();
    EXPECT_TRUE(Read(here + "/first.txt").contains("6.00"));
    EXPECT_TRUE(Read(here + "/second.txt").contains("kalvero second syntax"));
    EXPECT_FALSE(QFile::exists(here + "/syntaxes.txt"));
}

} // namespace
} // namespace kalvero::test
