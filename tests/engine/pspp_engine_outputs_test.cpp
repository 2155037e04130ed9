// The PSPP engine against the real pspp: outputs that cannot be written, a
// pspp that dies, and the life of a document.
#include "tests/engine/pspp_engine_fixture.h"
#include "tests/support/draft_readers.h"
#include "tests/support/pspp_test_support.h"
#include <QTimer>
#include <csignal>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kalvero {
namespace {

using ::testing::AllOf;
using testing::EngineTestFolder;
using testing::Exists;
using testing::FailureOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::kChartSyntax;
using testing::kEndlessSyntax;
using testing::kErrorSyntax;
using testing::kTableSyntax;
using testing::kUnicodeSyntax;
using testing::NamesIn;
using ::testing::Not;
using testing::PsppEngineTest;
using testing::PsppOutputDir;
using testing::ReadFile;
using ::testing::StartsWith;
using testing::TemporariesBeside;
using testing::WriteFile;

// --- Outputs that cannot be written ----------------------------------------

TEST_F(PsppEngineTest, OutputIntoAMissingFolderOrThroughAFileFails) {
    auto engine = Create(0);
    engine->RunSyntaxFile(Syntax("t.sps", kTableSyntax), true);
    auto document = engine->CurrentViewerDocument();
    const std::string missing = folder.Path("gone/t.spo");
    EXPECT_EQ(FailureOf([&] { document->SaveDocument(missing); }),
              "Cannot write " + missing + ": No such file or directory");
    const std::string throughFile = folder.Path("t.sps/t.txt");
    EXPECT_EQ(FailureOf([&] { document->ExportText(1, throughFile, 1, 0); }),
              "Cannot write " + throughFile + ": Not a directory");
    ASSERT_EQ(::mkdir(folder.Path("t.spo").c_str(), 0755), 0);
    EXPECT_EQ(FailureOf([&] { document->SaveDocument(folder.Path("t.spo")); }),
              "Cannot write " + folder.Path("t.spo") + ": Is a directory");
    EXPECT_THAT(NamesIn(folder.Path("t.spo")), IsEmpty());
    EXPECT_THAT(TemporariesBeside(folder.Files(), "t.spo"), IsEmpty());
    engine->QuitEngine();
}

// Runs write under a file size limit of 512 bytes, as a full disk would stop
// a write half-way.
template <class Write> std::string FailureWithSmallFileLimit(Write&& write) {
    struct rlimit saved {};
    if (::getrlimit(RLIMIT_FSIZE, &saved) != 0)
        return "getrlimit failed";
    struct rlimit small = saved;
    small.rlim_cur = 512;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
        return "setrlimit failed";
    const std::string failure = FailureOf(write);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    return failure;
}

// A write that fails half-way keeps the old file and removes its temporary.
TEST_F(PsppEngineTest, FailedWriteLeavesTheExistingTargetAndNoTemporary) {
    const std::string spo = WriteFile(folder.Path("t.spo"), "previous output");
    const std::string rtf = WriteFile(folder.Path("t.rtf"), "previous draft");
    const std::string syntax = Syntax("t.sps", kTableSyntax);
    {
        // The second save of a document is a copy, written byte by byte.
        auto engine = Create(0);
        engine->RunSyntaxFile(syntax, true);
        auto document = engine->CurrentViewerDocument();
        document->SaveDocument(folder.Path("first.spo"));
        EXPECT_EQ(FailureWithSmallFileLimit([&] { document->SaveDocument(spo); }),
                  "Cannot write " + spo + ": File too large");
        document->SaveDocument(folder.Path("again.spo")); // the document is still there
        engine->QuitEngine();
    }
    {
        auto engine = Create(1);
        engine->RunSyntaxFile(syntax, true);
        EXPECT_EQ(
            FailureWithSmallFileLimit([&] { engine->CurrentDraftDocument()->SaveDocument(rtf); }),
            "Cannot write " + rtf + ": File too large");
        engine->QuitEngine();
    }
    EXPECT_EQ(ReadFile(spo), "previous output");
    EXPECT_EQ(ReadFile(rtf), "previous draft");
    EXPECT_THAT(TemporariesBeside(folder.Files(), "t.spo"), IsEmpty());
    EXPECT_THAT(TemporariesBeside(folder.Files(), "t.rtf"), IsEmpty());
    EXPECT_THAT(PsppOutputDir(folder.Path("again.spo")), HasSubstr("Descriptive Statistics"));
}

// The first output of a document is linked rather than copied; a second
// must not share its data, or changing one file would change the other.
TEST_F(PsppEngineTest, TwoOutputsOfOneDocumentAreSeparateFiles) {
    auto engine = Create(0);
    engine->RunSyntaxFile(Syntax("t.sps", kTableSyntax), true);
    auto document = engine->CurrentViewerDocument();
    document->ExportText(1, folder.Path("a.txt"), 1, 0);
    document->ExportText(1, folder.Path("b.txt"), 1, 0);
    document->CloseDocument();
    engine->QuitEngine();
    struct stat a {};
    struct stat b {};
    ASSERT_EQ(::stat(folder.Path("a.txt").c_str(), &a), 0);
    ASSERT_EQ(::stat(folder.Path("b.txt").c_str(), &b), 0);
    EXPECT_NE(a.st_ino, b.st_ino);
    EXPECT_EQ(a.st_nlink, 1u);
    EXPECT_EQ(b.st_nlink, 1u);
    EXPECT_EQ(ReadFile(folder.Path("a.txt")), ReadFile(folder.Path("b.txt")));
}

// An output that is a symbolic link, relative to its own folder, stays a
// link: the file it names is replaced and keeps its permissions.
TEST_F(PsppEngineTest, ReplacedOutputKeepsItsPermissionsAndItsLink) {
    ASSERT_EQ(::mkdir(folder.Path("out").c_str(), 0755), 0);
    const std::string named = WriteFile(folder.Path("out/named.txt"), "old");
    ASSERT_EQ(::chmod(named.c_str(), 0640), 0);
    const std::string target = folder.Path("out/t.txt");
    ASSERT_EQ(::symlink("named.txt", target.c_str()), 0);
    auto engine = Create(0);
    engine->RunSyntaxFile(Syntax("t.sps", kTableSyntax), true);
    engine->CurrentViewerDocument()->ExportText(1, target, 1, 0);
    struct stat info {};
    ASSERT_EQ(::lstat(target.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(::stat(named.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_THAT(ReadFile(named), HasSubstr("Descriptive Statistics"));
    EXPECT_THAT(TemporariesBeside(folder.Path("out"), "named.txt"), IsEmpty());
    engine->QuitEngine();
}

// --- A pspp that dies ------------------------------------------------------

TEST_F(PsppEngineTest, PsppKilledMidRunIsAFailureAndLeavesNothing) {
    const std::string syntax = Syntax("endless.sps", kEndlessSyntax);
    auto engine = Create(0);
    int killed = 0;
    QTimer killer;
    // Once: a pspp just killed may still show for a moment.
    QObject::connect(&killer, &QTimer::timeout, [&] {
        for (const testing::ChildProcess& pspp :
             testing::PsppRunning("endless.sps", folder.Temporary(), 0))
            if (::kill(pspp.pid, SIGKILL) == 0) {
                ++killed;
                killer.stop();
                return;
            }
    });

    killer.start(50);
    const std::string failure = FailureOf([&] { engine->RunSyntaxFile(syntax, true); });
    killer.stop();

    EXPECT_EQ(killed, 1);
    EXPECT_THAT(failure, AllOf(HasSubstr("signal 9"), HasSubstr(syntax)));
    EXPECT_THAT(testing::PsppRunning("endless.sps", folder.Temporary(), 0), IsEmpty());
    // Only the watch over the engine's folder is left while the engine lives.
    EXPECT_EQ(testing::ChildrenOfThisProcess().size(), 1u);
    EXPECT_THAT(NamesIn(folder.Files()), ::testing::ElementsAre("endless.sps"));
    EXPECT_THAT(FailureOf([&] { engine->CurrentViewerDocument(); }),
                HasSubstr("no syntax file has run"));
    // The engine's own folders (and its lock) are still there, but nothing
    // else: the killed pspp's temporaries are gone.
    for (const std::string& left : folder.LeftInTemporary()) {
        struct stat info {};
        ASSERT_EQ(::stat(left.c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode) || left.substr(left.rfind('/')) == "/.lock") << left;
        EXPECT_THAT(left, HasSubstr("kalvero-pspp-"));
    }
    // The engine itself still works after the clean-up.
    engine->RunSyntaxFile(Syntax("t.sps", kTableSyntax), true);
    engine->CurrentViewerDocument()->ExportText(1, folder.Path("t.txt"), 1, 0);
    EXPECT_THAT(ReadFile(folder.Path("t.txt")), HasSubstr("Descriptive Statistics"));
    engine.reset(); // abandoned, as a failed run leaves it; TearDown checks the rest
}

// --- The document's life ---------------------------------------------------

TEST_F(PsppEngineTest, ClosedDocumentsAndAQuitEngineRefuseFurtherWork) {
    auto engine = Create(0);
    EXPECT_THAT(FailureOf([&] { engine->CurrentViewerDocument(); }),
                HasSubstr("no syntax file has run"));
    engine->RunSyntaxFile(Syntax("a.sps", kTableSyntax), true);
    auto first = engine->CurrentViewerDocument();
    first->CloseDocument();
    EXPECT_THAT(FailureOf([&] { first->SaveDocument(folder.Path("a.spo")); }),
                HasSubstr("has been closed"));
    EXPECT_FALSE(Exists(folder.Path("a.spo")));

    // The next syntax file's output is a document of its own.
    engine->RunSyntaxFile(Syntax("b.sps", "DATA LIST LIST /z.\nBEGIN DATA\n7\nEND DATA.\nLIST.\n"),
                          true);
    engine->CurrentViewerDocument()->ExportText(1, folder.Path("b.txt"), 1, 0);
    EXPECT_THAT(ReadFile(folder.Path("b.txt")), Not(HasSubstr("Descriptive Statistics")));
    EXPECT_THAT(FailureOf([&] { first->ExportText(2, folder.Path("b.txt"), 1, 0); }),
                HasSubstr("only ExportText(1, path, 1, 0)"));

    engine->QuitEngine();
    EXPECT_THAT(folder.LeftInTemporary(), IsEmpty()); // before the engine is released
    EXPECT_THAT(FailureOf([&] { engine->RunSyntaxFile(folder.Path("a.sps"), true); }),
                HasSubstr("already quit"));
}

// pspp is asked only for what the previous document was written as; text
// wanted from a Viewer-only output is converted, a Viewer document wanted
// after a switch to text is refused rather than written empty.
TEST_F(PsppEngineTest, LaterFilesProduceWhatThePreviousDocumentWasWrittenAs) {
    const std::string syntax = Syntax("t.sps", kTableSyntax);
    auto engine = Create(0);
    engine->RunSyntaxFile(syntax, true);
    engine->CurrentViewerDocument()->SaveDocument(folder.Path("1.spo"));
    engine->RunSyntaxFile(syntax, true); // Viewer only now
    engine->CurrentViewerDocument()->ExportText(1, folder.Path("2.txt"), 1, 0);
    EXPECT_THAT(ReadFile(folder.Path("2.txt")), HasSubstr("Descriptive Statistics"));
    engine->RunSyntaxFile(syntax, true); // text only now
    EXPECT_THAT(
        FailureOf([&] { engine->CurrentViewerDocument()->SaveDocument(folder.Path("3.spo")); }),
        HasSubstr("kept only its text"));
    EXPECT_FALSE(Exists(folder.Path("3.spo")));
    engine->RunSyntaxFile(syntax, true); // Viewer again after the miss
    engine->CurrentViewerDocument()->SaveDocument(folder.Path("4.spo"));
    EXPECT_THAT(PsppOutputDir(folder.Path("4.spo")), HasSubstr("Descriptive Statistics"));
    engine->QuitEngine();
}

} // namespace
} // namespace kalvero
