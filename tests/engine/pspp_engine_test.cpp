// The PSPP engine against the real pspp: documents in each format, syntax
// files that are not what they claim to be, awkward names, outputs that
// cannot be written, a pspp that dies, and a whole run through the batch.
#include "engine/pspp_engine.h"
#include "tests/support/draft_readers.h"
#include "tests/support/pspp_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kalvero {
namespace {

using ::testing::AllOf;
using testing::EngineTestFolder;
using testing::Exists;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::NamesIn;
using ::testing::Not;
using testing::ReadFile;
using ::testing::StartsWith;
using testing::WriteFile;

constexpr const char* kTableSyntax = "DATA LIST LIST /x y.\n"
                                     "BEGIN DATA\n"
                                     "1 2\n"
                                     "3 4\n"
                                     "5 9\n"
                                     "END DATA.\n"
                                     "DESCRIPTIVES x y.\n";

constexpr const char* kChartSyntax = "DATA LIST LIST /x.\n"
                                     "BEGIN DATA\n"
                                     "1\n2\n2\n3\n3\n3\n"
                                     "END DATA.\n"
                                     "FREQUENCIES x /BARCHART.\n";

// Non-ASCII letters, a character beyond the BMP and RTF's special
// characters, all in table cells.
constexpr const char* kUnicodeSyntax = "DATA LIST LIST /city (A24) n.\n"
                                       "BEGIN DATA\n"
                                       "\"Z\xC3\xBCrich\" 1\n"
                                       "\"\xE2\x82\xAC-Kurs\" 2\n"
                                       "\"smile \xF0\x9F\x98\x80\" 3\n"
                                       "\"a\\b{c}\" 4\n"
                                       "END DATA.\n"
                                       "LIST.\n";

constexpr const char* kErrorSyntax = "DATA LIST LIST /x.\n"
                                     "BEGIN DATA\n"
                                     "1\n2\n"
                                     "END DATA.\n"
                                     "FREQUENCIES nosuchvariable.\n"
                                     "DESCRIPTIVES x.\n";

// Runs for minutes unless it is stopped.
constexpr const char* kEndlessSyntax = "DATA LIST LIST /x.\n"
                                       "BEGIN DATA\n"
                                       "1\n"
                                       "END DATA.\n"
                                       "COMPUTE y = 0.\n"
                                       "LOOP #i = 1 TO 2000000000.\n"
                                       "COMPUTE y = y + 1.\n"
                                       "END LOOP.\n"
                                       "EXECUTE.\n";

template <class Action> std::string FailureOf(Action&& action) {
    try {
        action();
    } catch (const EngineError& failure) {
        return failure.what();
    }
    return "<no failure>";
}

std::string PsppOutputDir(const std::string& spv) {
    int status = 0;
    const std::string listing = testing::RunProgram("pspp-output", {"dir", spv}, status);
    EXPECT_EQ(status, 0) << listing;
    return listing;
}

// Temporary files an output write may have left beside target.
std::vector<std::string> TemporariesBeside(const std::string& folder, const std::string& name) {
    std::vector<std::string> found;
    for (const std::string& entry : NamesIn(folder))
        if (entry.rfind("." + name + ".", 0) == 0)
            found.push_back(entry);
    return found;
}

class PsppEngineTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Every engine of the test has been released by now: nothing of it
        // may remain, and no pspp may still run.
        EXPECT_THAT(folder.LeftInTemporary(), IsEmpty());
        EXPECT_TRUE(testing::ChildrenOfThisProcess().empty());
    }

    std::unique_ptr<EngineApplication> Create(std::int32_t kind) {
        std::unique_ptr<EngineApplication> engine = factory.CreateObject(kEngineProgId);
        engine->GetSettings()->SetOutputKind(kind);
        return engine;
    }

    std::string Syntax(const std::string& name, const std::string& text) {
        return WriteFile(folder.Path(name), text);
    }

    EngineTestFolder folder;
    PsppEngineFactory factory;
};

// --- Creation and settings -------------------------------------------------

TEST_F(PsppEngineTest, OtherProgIdIsRefused) {
    EXPECT_THAT(FailureOf([&] { factory.CreateObject("Excel.Application"); }),
                HasSubstr("Excel.Application"));
}

TEST_F(PsppEngineTest, CreationWithoutPsppOnPathTellsWhatToInstall) {
    testing::EnvironmentVariable path("PATH", folder.Files());
    EXPECT_THAT(FailureOf([&] { factory.CreateObject(kEngineProgId); }),
                AllOf(HasSubstr("PSPP cannot be found"), HasSubstr("package pspp")));
}

TEST_F(PsppEngineTest, CreationWithAPsppThatDoesNotStartFails) {
    testing::EnvironmentVariable path("PATH", folder.Files());
    // One that answers is asked once; replaced, the new one is asked again.
    WriteFile(folder.Path("pspp"), "#!/bin/sh\necho 'pspp (GNU PSPP) 1.6.2'\n");
    ASSERT_EQ(::chmod(folder.Path("pspp").c_str(), 0755), 0);
    EXPECT_NE(factory.CreateObject(kEngineProgId), nullptr);
    // A "pspp" that exits with status 1 at once.
    ASSERT_EQ(::unlink(folder.Path("pspp").c_str()), 0);
    ASSERT_EQ(::symlink("/bin/false", folder.Path("pspp").c_str()), 0);
    EXPECT_THAT(FailureOf([&] { factory.CreateObject(kEngineProgId); }),
                AllOf(HasSubstr("cannot be started"), HasSubstr("exit status 1"),
                      HasSubstr("package pspp")));
}

TEST_F(PsppEngineTest, UnknownOutputKindIsAFailure) {
    auto engine = factory.CreateObject(kEngineProgId);
    auto settings = engine->GetSettings();
    EXPECT_THAT(FailureOf([&] { settings->SetOutputKind(2); }), HasSubstr("Output kind 2"));
    EXPECT_THAT(FailureOf([&] { settings->SetOutputKind(-1); }), HasSubstr("Output kind -1"));
}

// --- Documents in each format ----------------------------------------------

TEST_F(PsppEngineTest, ViewerDocumentIsAnSpvArchiveWithTheTableAndChart) {
    auto engine = Create(0);
    engine->RunSyntaxFile(Syntax("chart.sps", std::string(kTableSyntax) + kChartSyntax), true);
    auto document = engine->CurrentViewerDocument();
    document->SaveDocument(folder.Path("chart.spo"));
    document->CloseDocument();

    EXPECT_THAT(ReadFile(folder.Path("chart.spo")), StartsWith("PK\x03\x04"));
    const std::string listing = PsppOutputDir(folder.Path("chart.spo"));
    EXPECT_THAT(listing, HasSubstr("Descriptive Statistics"));
    EXPECT_THAT(listing, HasSubstr("image \"x\""));
    engine->QuitEngine();
}

TEST_F(PsppEngineTest, TextHoldsTheTableAndNoChartFileIsLeftAnywhere) {
    auto engine = Create(0);
    engine->RunSyntaxFile(Syntax("chart.sps", std::string(kTableSyntax) + kChartSyntax), true);
    auto document = engine->CurrentViewerDocument();
    document->ExportText(1, folder.Path("chart.txt"), 1, 0);
    document->CloseDocument();

    const std::string text = ReadFile(folder.Path("chart.txt"));
    EXPECT_THAT(text, HasSubstr("Descriptive Statistics"));
    EXPECT_THAT(text, HasSubstr("3.00"));
    EXPECT_THAT(text, Not(HasSubstr(".png")));
    EXPECT_THAT(NamesIn(folder.Files()), ::testing::UnorderedElementsAre("chart.sps", "chart.txt"));
    engine->QuitEngine();
}

TEST_F(PsppEngineTest, DraftIsAsciiRtfWithTablesAndEscapedCharacters) {
    auto engine = Create(1);
    engine->RunSyntaxFile(Syntax("cities.sps", std::string(kUnicodeSyntax) + "DESCRIPTIVES n.\n"),
                          true);
    auto document = engine->CurrentDraftDocument();
    document->SaveDocument(folder.Path("cities.rtf"));
    document->CloseDocument();
    engine->QuitEngine();

    const std::string rtf = ReadFile(folder.Path("cities.rtf"));
    EXPECT_THAT(rtf, StartsWith("{\\rtf1"));
    EXPECT_THAT(rtf, HasSubstr("\\trowd"));
    EXPECT_THAT(rtf, HasSubstr("Descriptive Statistics"));
    if (testing::MissingDraftReaders().empty()) {
        const auto readings = testing::ReadDrafts({folder.Path("cities.rtf")});
        for (const testing::DraftReading& reading : readings.front())
            EXPECT_THAT(reading.text, AllOf(HasSubstr("Z\xC3\xBCrich"), HasSubstr("\xE2\x82\xAC")))
                << reading.reader;
    }
    // Code page 1252 as \'hh, beyond it \uN with a \'3f fallback.
    EXPECT_THAT(rtf, HasSubstr("Z\\'fcrich"));
    EXPECT_THAT(rtf, HasSubstr("\\'80-Kurs"));
    EXPECT_THAT(rtf, HasSubstr("smile \\u-10179\\'3f\\u-8704\\'3f")); // U+1F600: a pair
    EXPECT_THAT(rtf, HasSubstr("a\\\\b\\{c\\}"));
    for (const char c : rtf)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "RTF must be plain ASCII";
    int depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\')
            ++i; // an escaped character is no group
        else if (rtf[i] == '{')
            ++depth;
        else if (rtf[i] == '}') {
            ASSERT_GE(--depth, 0);
        }
    }
    EXPECT_EQ(depth, 0);
}

TEST_F(PsppEngineTest, ErrorsInsideASyntaxFileAreOutputNotFailure) {
    auto engine = Create(0);
    engine->RunSyntaxFile(Syntax("errors.sps", kErrorSyntax), true);
    auto document = engine->CurrentViewerDocument();
    document->ExportText(1, folder.Path("errors.txt"), 1, 0);
    document->CloseDocument();
    const std::string text = ReadFile(folder.Path("errors.txt"));
    EXPECT_THAT(text, HasSubstr("nosuchvariable"));
    EXPECT_THAT(text, HasSubstr("Descriptive Statistics"));
    engine->QuitEngine();
}

// Relative names resolve against the program's working directory; pspp
// works in the syntax file's folder, so the data file beside it is found.
TEST_F(PsppEngineTest, RelativeNamesAndADataFileBesideTheSyntax) {
    WriteFile(folder.Path("study/wave1.dat"), "1 10\n2 20\n3 60\n");
    Syntax("study/wave1.sps", "DATA LIST LIST FILE='wave1.dat' /id score.\n"
                              "DESCRIPTIVES score.\n");
    auto engine = Create(0);
    {
        testing::WorkingDirectory cwd(folder.Files());
        engine->RunSyntaxFile("study/wave1.sps", true);
        auto document = engine->CurrentViewerDocument();
        document->ExportText(1, "study/wave1.txt", 1, 0);
        document->CloseDocument();
    }
    const std::string text = ReadFile(folder.Path("study/wave1.txt"));
    EXPECT_THAT(text, HasSubstr("30.00")); // the mean score
    EXPECT_THAT(text, Not(HasSubstr("error")));
    engine->QuitEngine();
}

TEST_F(PsppEngineTest, NamesWithBlanksQuotesLettersAndALeadingDash) {
    const std::string subfolder = "out put 'q' \"dq\" \xC3\xA4\xC3\xB6\xC3\xBC";
    const std::string name = "-x 'it''s' \"so\" \xC3\xA9t\xC3\xA9.sps";
    Syntax(subfolder + "/" + name, kTableSyntax);
    auto engine = Create(0);
    {
        // "-x ..." given as it stands must not become an option of pspp.
        testing::WorkingDirectory cwd(folder.Path(subfolder));
        engine->RunSyntaxFile(name, true);
        auto document = engine->CurrentViewerDocument();
        document->ExportText(1, "-x.txt", 1, 0);
        document->CloseDocument();
    }
    EXPECT_THAT(ReadFile(folder.Path(subfolder + "/-x.txt")), HasSubstr("Descriptive Statistics"));

    engine->QuitEngine();

    const std::string absolute = folder.Path(subfolder + "/" + name);
    auto viewer = Create(0);
    viewer->RunSyntaxFile(absolute, true);
    viewer->CurrentViewerDocument()->SaveDocument(absolute + ".spo");
    EXPECT_THAT(PsppOutputDir(absolute + ".spo"), HasSubstr("Descriptive Statistics"));
    viewer->QuitEngine();
}

// --- Syntax files that cannot be run ---------------------------------------

TEST_F(PsppEngineTest, NamesThatAreNoReadableFileFailWithTheSystemsReason) {
    WriteFile(folder.Path("plain.sps"), kTableSyntax);
    ASSERT_EQ(::mkfifo(folder.Path("pipe.sps").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("loop.sps", folder.Path("loop.sps").c_str()), 0);
    const struct {
        std::string name;
        std::string reason;
    } cases[] = {
        {folder.Path("missing.sps"), "No such file or directory"},
        {folder.Files(), "Is a directory"},
        {folder.Path("plain.sps/inner.sps"), "Not a directory"},
        {folder.Path("pipe.sps"), "not a regular file"},
        {folder.Path("loop.sps"), "Too many levels of symbolic links"},
        {folder.Path(std::string(300, 'n') + ".sps"), "File name too long"},
    };
    auto engine = Create(0);
    for (const auto& bad : cases) {
        EXPECT_EQ(FailureOf([&] { engine->RunSyntaxFile(bad.name, true); }),
                  "Cannot read syntax file " + bad.name + ": " + bad.reason);
    }
    EXPECT_THAT(FailureOf([&] { engine->RunSyntaxFile("", true); }), HasSubstr("no file name"));
    const std::string withNul = folder.Path("nul") + std::string(1, '\0') + ".sps";
    EXPECT_EQ(FailureOf([&] { engine->RunSyntaxFile(withNul, true); }),
              "Cannot read syntax file " + folder.Path("nul") +
                  "\\0.sps: the name contains a NUL character");
}

// Root reads any file whatever its mode, so the check is run in a child
// process that has given up root; as another user it runs directly.
TEST_F(PsppEngineTest, UnreadableSyntaxFileFailsWithPermissionDenied) {
    const std::string syntax = Syntax("secret.sps", kTableSyntax);
    ASSERT_EQ(::chmod(syntax.c_str(), 0), 0);
    auto engine = Create(0);
    if (::geteuid() != 0) {
        EXPECT_EQ(FailureOf([&] { engine->RunSyntaxFile(syntax, true); }),
                  "Cannot read syntax file " + syntax + ": Permission denied");
        return;
    }
    // The unprivileged child must be able to reach the file's folder.
    for (std::string dir = folder.Files(); dir.size() > 1; dir = dir.substr(0, dir.rfind('/'))) {
        struct stat info {};
        ASSERT_EQ(::stat(dir.c_str(), &info), 0);
        ::chmod(dir.c_str(), info.st_mode | 0011);
        if (dir == "/tmp")
            break;
    }
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(20);
        std::string result = "could not drop root";
        if (::setgid(65534) == 0 && ::setuid(65534) == 0)
            result = FailureOf([&] { engine->RunSyntaxFile(syntax, true); });
        (void)!::write(pipeFds[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(result, "Cannot read syntax file " + syntax + ": Permission denied");
}

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

TEST_F(PsppEngineTest, ReplacedOutputKeepsItsPermissions) {
    const std::string target = WriteFile(folder.Path("t.txt"), "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    auto engine = Create(0);
    engine->RunSyntaxFile(Syntax("t.sps", kTableSyntax), true);
    engine->CurrentViewerDocument()->ExportText(1, target, 1, 0);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_THAT(ReadFile(target), HasSubstr("Descriptive Statistics"));
    engine->QuitEngine();
}

// --- A pspp that dies ------------------------------------------------------

TEST_F(PsppEngineTest, PsppKilledMidRunIsAFailureAndLeavesNothing) {
    const std::string syntax = Syntax("endless.sps", kEndlessSyntax);
    auto engine = Create(0);
    int killed = 0;
    QTimer killer;
    QObject::connect(&killer, &QTimer::timeout, [&] {
        for (const testing::ChildProcess& pspp :
             testing::PsppRunning("endless.sps", folder.Temporary(), 0))
            if (::kill(pspp.pid, SIGKILL) == 0)
                ++killed;
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
