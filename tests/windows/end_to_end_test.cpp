// End to end with the real PSPP engine: syntax files picked through the
// dialog, run in each output format, and a list run of an LF list file.
#include "tests/support/window_test.h"

#include "batch/run_command.h"
#include "engine/pspp_engine.h"
#include "tests/support/draft_readers.h"
#include "tests/support/pspp_test_support.h"
#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"
#include "windows/syntax_select/syntax_select_window.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>

#include <sys/stat.h>

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
    if (testing::MissingDraftReaders().empty()) {
        const auto readings = testing::ReadDrafts(
            {(here + "/first.rtf").toStdString(), (here + "/second.rtf").toStdString()});
        for (const testing::DraftReading& reading : readings.back())
            EXPECT_THAT(reading.text, ::testing::HasSubstr("kalvero second syntax"))
                << reading.reader;
    }

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

// A syntax file that never ends is stopped through WAIT's close box: the
// message says so, no output is written, no pspp and no temporary folder is
// left, and the next run works.
TEST_F(EndToEndTest, ANeverEndingSyntaxIsStoppedByTheProgressWindowsCloseBox) {
    const QString here = QDir::currentPath();
    QTemporaryDir temporary;
    const kalvero::testing::EnvironmentVariable tmpdir(
        "TMPDIR", QFile::encodeName(temporary.path()).toStdString());
    // Reading a FIFO that nobody writes never ends.
    ASSERT_EQ(::mkfifo(QFile::encodeName(here + "/never.fifo").constData(), 0600), 0);
    Write(here + "/endless.sps", "DATA LIST FILE='never.fifo' /x 1.\nLIST.\n");
    main->AppendEntry(here + "/endless.sps");
    main->AppendEntry(here + "/first.sps");
    main->Option5->setChecked(true);
    bool closed = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (closed || !WAIT.IsLoaded() || kalvero::testing::ChildrenOfThisProcess().empty())
            return;
        closed = true;
        QCloseEvent closeBox;
        QCoreApplication::sendEvent(WAIT.Loaded()->windowHandle(), &closeBox);
    });
    closer.start(100);
    main->Command4Click();
    closer.stop();

    ASSERT_TRUE(closed);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find("stopped at entry 1"), std::string::npos) << messages.texts[0];
    EXPECT_NE(messages.texts[0].find("stopped by the user"), std::string::npos);
    EXPECT_NE(messages.texts[0].find("Syntaxes executed before: 0"), std::string::npos);
    EXPECT_FALSE(WAIT.IsLoaded());
    EXPECT_FALSE(QFile::exists(here + "/endless.txt"));
    EXPECT_FALSE(QFile::exists(here + "/first.txt"));
    EXPECT_TRUE(kalvero::testing::ChildrenOfThisProcess().empty());
    EXPECT_TRUE(QDir(temporary.path()).isEmpty());

    messages.texts.clear();
    delete main->List1->takeItem(0);
    main->Command4Click();
    EXPECT_EQ(messages.texts, Strings{kCompletionMessage});
    EXPECT_TRUE(Read(here + "/first.txt").contains("6.00"));
}

} // namespace
} // namespace kalvero::test
