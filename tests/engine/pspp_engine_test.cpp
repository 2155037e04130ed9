// The PSPP engine against the real pspp: creation, documents in each format,
// awkward names, and syntax files that are not what they claim to be.
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

} // namespace
} // namespace kalvero
