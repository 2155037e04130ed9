#include "batch/syntax_list.h"
#include "tests/support/fakes.h"
#include "tests/support/native_file_system.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace kalvero {
namespace {

using testing::CallLog;
using testing::RunRig;
using testing::TempDir;

std::vector<std::string> ReadAllLines(const std::string& path) {
    testing::NativeFileSystem files;
    return SplitListLines(files.ReadListFile(path));
}

using Lines = std::vector<std::string>;

struct LineCase {
    const char* name;
    std::string bytes;
    Lines lines;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class ListFormatTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ListFormatTest, SplitsLinesAsWrittenOnAnyPlatform) {
    TempDir dir;
    EXPECT_EQ(ReadAllLines(dir.Write("list.txt", GetParam().bytes)), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, ListFormatTest,
    ::testing::Values(LineCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                      LineCase{"LoneCr", "a\rb\r", {"a", "b"}},
                      LineCase{"LoneLineFeedEndsALine", "a\nb\n", {"a", "b"}},
                      LineCase{"Mixed", "a\nb\r\nc\rd", {"a", "b", "c", "d"}},
                      LineCase{"LastLineWithoutLineEnd", "a\r\nb", {"a", "b"}},
                      LineCase{"TwoLineEndsAtTheEndMakeOneEmptyLine", "a\r\n\r\n", {"a", ""}},
                      LineCase{"LfCrIsTwoLineEnds", "a\n\rb", {"a", "", "b"}},
                      LineCase{"EmptyFile", "", {}}, LineCase{"OnlyALineEnd", "\n", {""}},
                      LineCase{"ByteOrderMarkIsSkipped", "\xEF\xBB\xBF/s/a.sps\n", {"/s/a.sps"}},
                      LineCase{"ByteOrderMarkAloneIsAnEmptyFile", "\xEF\xBB\xBF", {}},
                      LineCase{"ByteOrderMarkOnlyAtTheStart",
                               "a\n\xEF\xBB\xBF"
                               "b",
                               {"a", "\xEF\xBB\xBF"
                                     "b"}},
                      LineCase{"IncompleteByteOrderMarkStays",
                               "\xEF\xBB"
                               "a",
                               {"\xEF\xBB"
                                "a"}},
                      LineCase{"NonUtf8AndNulBytesPassThrough",
                               std::string("/s/\xE4\xF6\xFC\0x.sps\n", 13),
                               {std::string("/s/\xE4\xF6\xFC\0x.sps", 12)}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return info.param.name; });

TEST(ListLineKindTest, OnlyBlanksAreTrimmedAndAStarMakesAComment) {
    EXPECT_EQ(ClassifyLine(TrimBlanks("")), ListLineKind::Blank);
    EXPECT_EQ(ClassifyLine(TrimBlanks("     ")), ListLineKind::Blank);
    EXPECT_EQ(ClassifyLine(TrimBlanks("   *x")), ListLineKind::Comment);
    EXPECT_EQ(ClassifyLine(TrimBlanks("\t*x")), ListLineKind::Syntax);
    EXPECT_EQ(ClassifyLine(TrimBlanks("a.sps * not a comment")), ListLineKind::Syntax);
    EXPECT_EQ(TrimBlanks("  a b \t  "), "a b \t");
}

RunSettings Lists(std::vector<std::string> entries, OutputFormat format = OutputFormat::Viewer) {
    RunSettings settings;
    settings.entries = std::move(entries);
    settings.inputMode = InputMode::SyntaxLists;
    settings.outputFormat = format;
    return settings;
}

TEST(RunSyntaxListsTest, RunsSyntaxLinesOnlyAndNamesOutputsAfterTheTrimmedLine) {
    TempDir dir;
    const std::string list = dir.Write(
        "list.txt", "* comment\n\n   \n   *x\n  /s/a.sps\r\n/s/b.sps   \r\t*tab.sps\n/s/job");
    RunRig rig;
    StartRun(Lists({list}), rig.progress, rig.services);
    const CallLog expected = {"ShowProgress",
                              "HideProgressBar",
                              "MinimiseMainWindow",
                              "Create(SPSS.APPLICATION)",
                              "GetSettings",
                              "SetOutputKind(0)",
                              "RunSyntaxFile(/s/a.sps,true)",
                              "CurrentViewerDocument",
                              "SaveDocument(/s/a.spo)",
                              "CloseDocument",
                              "RunSyntaxFile(/s/b.sps,true)",
                              "CurrentViewerDocument",
                              "SaveDocument(/s/b.spo)",
                              "CloseDocument",
                              "RunSyntaxFile(\t*tab.sps,true)",
                              "CurrentViewerDocument",
                              "SaveDocument(\t*tab.spo)",
                              "CloseDocument",
                              "RunSyntaxFile(/s/job,true)",
                              "CurrentViewerDocument",
                              "SaveDocument(/s/job.spo)",
                              "CloseDocument",
                              "QuitEngine",
                              "CloseProgress",
                              "Message(The Syntaxes have been executed )",
                              "Release"};
    EXPECT_EQ(rig.log, expected);
}

TEST(RunSyntaxListsTest, DraftAndTextMakeTheSameCallsAsTheFilesRun) {
    TempDir dir;
    const std::string list = dir.Write("list.txt", "/s/a.sps\n");
    RunRig draft;
    StartRun(Lists({list}, OutputFormat::Draft), draft.progress, draft.services);
    EXPECT_EQ(draft.Only("SetOutputKind"), CallLog{"SetOutputKind(1)"});
    EXPECT_EQ(draft.Only("Current"), CallLog{"CurrentDraftDocument"});
    EXPECT_EQ(draft.Only("SaveDocument"), CallLog{"SaveDocument(/s/a.rtf)"});
    RunRig text;
    StartRun(Lists({list}, OutputFormat::Text), text.progress, text.services);
    EXPECT_EQ(text.Only("SetOutputKind"), CallLog{"SetOutputKind(0)"});
    EXPECT_EQ(text.Only("ExportText"), CallLog{"ExportText(1,/s/a.txt,1,0)"});
}

TEST(RunSyntaxListsTest, EmptyAndCommentOnlyListsMakeNoEngineCallsAndTheRunGoesOn) {
    TempDir dir;
    const std::string empty = dir.Write("empty.txt", "");
    const std::string comments = dir.Write("comments.txt", "* one\r\n  * two\r\n\r\n");
    const std::string good = dir.Write("good.txt", "/s/a.sps");
    RunRig rig;
    StartRun(Lists({empty, comments, good}), rig.progress, rig.services);
    EXPECT_EQ(rig.Only("RunSyntaxFile"), CallLog{"RunSyntaxFile(/s/a.sps,true)"});
    EXPECT_EQ(rig.messages.texts, std::vector<std::string>{"The Syntaxes have been executed "});
}

TEST(RunSyntaxListsTest, TheSameListTwiceRunsItsFilesTwiceWithTheSameOutputs) {
    TempDir dir;
    const std::string list = dir.Write("list.txt", "/s/a.sps\n/s/b.sps\n");
    RunRig rig;
    StartRun(Lists({list, list}, OutputFormat::Text), rig.progress, rig.services);
    EXPECT_EQ(rig.Only("ExportText"),
              (CallLog{"ExportText(1,/s/a.txt,1,0)", "ExportText(1,/s/b.txt,1,0)",
                       "ExportText(1,/s/a.txt,1,0)", "ExportText(1,/s/b.txt,1,0)"}));
}

TEST(RunSyntaxListsTest, MissingListAfterTwoGoodOnesStopsWithItsReason) {
    TempDir dir;
    const std::string one = dir.Write("one.txt", "/s/a.sps\n");
    const std::string two = dir.Write("two.txt", "/s/b.sps\n");
    RunRig rig;
    RunSettings settings = Lists({one, two, dir.Path("missing.txt"), one});
    settings.shutDownAfterRun = true;
    StartRun(settings, rig.progress, rig.services);
    EXPECT_EQ(rig.Only("SaveDocument"),
              (CallLog{"SaveDocument(/s/a.spo)", "SaveDocument(/s/b.spo)"}));
    EXPECT_EQ(rig.Count("QuitEngine"), 0);
    EXPECT_EQ(rig.Count("CloseProgress"), 0);
    EXPECT_EQ(rig.shutDown.requests, 0);
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    const std::string& text = rig.messages.texts[0];
    EXPECT_NE(text.find("at entry 3 (" + dir.Path("missing.txt") + ")"), std::string::npos) << text;
    EXPECT_NE(text.find(testing::MissingFileReason(dir.Path("missing.txt"))), std::string::npos)
        << text;
    EXPECT_NE(text.find("Syntaxes executed before: 2"), std::string::npos);
}

TEST(RunSyntaxListsTest, FailureMessageNamesTheListLineAndTheSyntaxFile) {
    TempDir dir;
    const std::string list = dir.Write("list.txt", "* header\n/s/a.sps\n/s/b.sps\n");
    RunRig rig;
    rig.engines.script.onRun = [](int call, const std::string& name) {
        if (call == 2)
            throw EngineError("Cannot run " + name + ": Permission denied");
    };
    StartRun(Lists({list}), rig.progress, rig.services);
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    const std::string& text = rig.messages.texts[0];
    EXPECT_NE(text.find("at line 3 of the list file 1 (" + list + "), syntax /s/b.sps"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Syntaxes executed before: 1"), std::string::npos);
}

TEST(RunSyntaxListsTest, FailedListRunClosesItsFileSoLaterRunsWork) {
    TempDir dir;
    const std::string list = dir.Write("list.txt", "/s/a.sps\n/s/b.sps\n");
    {
        RunRig rig;
        rig.engines.script.onRun = [](int, const std::string&) { throw EngineError("boom"); };
        StartRun(Lists({list}), rig.progress, rig.services);
        ASSERT_EQ(rig.messages.texts.size(), 1u);
    }
    EXPECT_FALSE(testing::HeldOpen(list));
    RunRig again;
    StartRun(Lists({list}), again.progress, again.services);
    EXPECT_EQ(again.Only("RunSyntaxFile").size(), 2u);
}

std::string ManyLines(int count) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 10);
    for (int i = 0; i < count; ++i)
        text += "/s/" + std::to_string(i % 10) + ".sps\n";
    return text;
}

TEST(RunSyntaxListsTest, ListOf32767LinesRunsCompletely) {
    TempDir dir;
    const std::string list = dir.Write("list.txt", ManyLines(32767));
    RunRig rig;
    StartRun(Lists({list}), rig.progress, rig.services);
    EXPECT_EQ(rig.Only("RunSyntaxFile").size(), 32767u);
    EXPECT_EQ(rig.Count("QuitEngine"), 1);
}

TEST(RunSyntaxListsTest, ListOf32768LinesFailsBeforeAnyOfItsLinesRuns) {
    TempDir dir;
    const std::string good = dir.Write("good.txt", "/s/a.sps\n");
    const std::string big = dir.Write("big.txt", ManyLines(32768));
    RunRig rig;
    StartRun(Lists({good, big}), rig.progress, rig.services);
    EXPECT_EQ(rig.Only("RunSyntaxFile"), CallLog{"RunSyntaxFile(/s/a.sps,true)"});
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_NE(rig.messages.texts[0].find("Overflow"), std::string::npos);
    EXPECT_NE(rig.messages.texts[0].find("at entry 2"), std::string::npos);
}

TEST(RunSyntaxListsTest, AOneMegabyteLineReachesTheEngineWhole) {
    TempDir dir;
    const std::string name = "/s/" + std::string(1 << 20, 'x') + ".sps";
    const std::string list = dir.Write("list.txt", name + "\r\n");
    RunRig rig;
    StartRun(Lists({list}), rig.progress, rig.services);
    ASSERT_EQ(rig.Only("RunSyntaxFile").size(), 1u);
    EXPECT_EQ(rig.Only("RunSyntaxFile")[0], "RunSyntaxFile(" + name + ",true)");
}

// A list file is read once, before the run: changing it while the run goes
// on changes nothing of this run.
TEST(RunSyntaxListsTest, AListChangedDuringTheRunIsNotReadAgain) {
    TempDir dir;
    const std::string list = dir.Write("list.txt", "/s/a.sps\n/s/b.sps\n");
    RunRig rig;
    rig.engines.script.onRun = [&](int call, const std::string&) {
        if (call == 1)
            dir.Write("list.txt", "/s/x.sps\n");
    };
    StartRun(Lists({list}), rig.progress, rig.services);
    EXPECT_EQ(rig.Only("RunSyntaxFile"),
              (CallLog{"RunSyntaxFile(/s/a.sps,true)", "RunSyntaxFile(/s/b.sps,true)"}));
}

// A FIFO would block the run and a device never end: both are refused at
// once, naming the file; and a 1 MB name in a failure stays a short message.
TEST(RunSyntaxListsTest, NonRegularListFilesAreRefusedAtOnceAndLongNamesShortened) {
    TempDir dir;
    for (const std::string& list : testing::NonRegularFiles(dir.Path("fifo"))) {
        RunRig rig;
        StartRun(Lists({list}), rig.progress, rig.services);
        ASSERT_EQ(rig.messages.texts.size(), 1u);
        EXPECT_NE(rig.messages.texts[0].find(list + ": it is not a regular file"),
                  std::string::npos)
            << rig.messages.texts[0];
    }
    const std::string name = "/s/" + std::string(1 << 20, 'x') + ".sps";
    RunRig rig;
    rig.engines.script.failRunOn = name;
    StartRun(Lists({dir.Write("long.txt", name + "\n")}), rig.progress, rig.services);
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_LT(rig.messages.texts[0].size(), 4000u);
    EXPECT_NE(rig.messages.texts[0].find("bytes left out"), std::string::npos);
}

TEST(SyntaxListFileTest, ADirectoryOrAPathWithANulByteIsNoListFile) {
    TempDir dir;
    testing::NativeFileSystem files;
    EXPECT_THROW(files.ReadListFile(dir.Path("")), std::runtime_error);
    EXPECT_THROW(files.ReadListFile(std::string("/tmp/a\0b", 8)), std::runtime_error);
}

} // namespace
} // namespace kalvero
