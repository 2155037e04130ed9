#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace kalvero {
namespace {

using testing::CallLog;
using testing::RunRig;

RunSettings Files(std::vector<std::string> entries, OutputFormat format, bool shutDown = false) {
    RunSettings settings;
    settings.entries = std::move(entries);
    settings.inputMode = InputMode::SyntaxFiles;
    settings.outputFormat = format;
    settings.shutDownAfterRun = shutDown;
    return settings;
}

TEST(RunSyntaxFilesTest, ViewerRunMakesExactlyTheseCallsInThisOrder) {
    RunRig rig;
    StartRun(Files({"/s/a.sps", "/s/b.SPS"}, OutputFormat::Viewer), rig.progress, rig.services);
    const CallLog expected = {"SetProgressRange(0,2)",
                              "SetProgressValue(1)",
                              "ShowProgress",
                              "MinimiseMainWindow",
                              "Create(SPSS.APPLICATION)",
                              "GetSettings",
                              "SetOutputKind(0)",
                              "RunSyntaxFile(/s/a.sps,true)",
                              "CurrentViewerDocument",
                              "SaveDocument(/s/a.spo)",
                              "CloseDocument",
                              "SetProgressValue(1)",
                              "RunSyntaxFile(/s/b.SPS,true)",
                              "CurrentViewerDocument",
                              "SaveDocument(/s/b.spo)",
                              "CloseDocument",
                              "SetProgressValue(2)",
                              "QuitEngine",
                              "CloseProgress",
                              "Message(The Syntaxes have been executed )",
                              "Release"};
    EXPECT_EQ(rig.log, expected);
}

TEST(RunSyntaxFilesTest, DraftSavesTheDraftDocumentAsRtf) {
    RunRig rig;
    StartRun(Files({"/s/a.sps"}, OutputFormat::Draft), rig.progress, rig.services);
    const CallLog expected = {"SetProgressRange(0,1)",
                              "SetProgressValue(1)",
                              "ShowProgress",
                              "MinimiseMainWindow",
                              "Create(SPSS.APPLICATION)",
                              "GetSettings",
                              "SetOutputKind(1)",
                              "RunSyntaxFile(/s/a.sps,true)",
                              "CurrentDraftDocument",
                              "SaveDocument(/s/a.rtf)",
                              "CloseDocument",
                              "SetProgressValue(1)",
                              "QuitEngine",
                              "CloseProgress",
                              "Message(The Syntaxes have been executed )",
                              "Release"};
    EXPECT_EQ(rig.log, expected);
}

TEST(RunSyntaxFilesTest, TextExportsTheViewerDocument) {
    RunRig rig;
    StartRun(Files({"/s/a.sps", "/s/b.sps", "/s/c.sps"}, OutputFormat::Text), rig.progress,
             rig.services);
    EXPECT_EQ(rig.Only("SetOutputKind"), CallLog{"SetOutputKind(0)"});
    EXPECT_EQ(rig.Only("ExportText"),
              (CallLog{"ExportText(1,/s/a.txt,1,0)", "ExportText(1,/s/b.txt,1,0)",
                       "ExportText(1,/s/c.txt,1,0)"}));
    EXPECT_EQ(rig.Count("CurrentViewerDocument"), 3);
    EXPECT_EQ(rig.Count("CloseDocument"), 3);
    EXPECT_EQ(rig.Count("QuitEngine"), 1);
    EXPECT_EQ(rig.Only("SetProgress"),
              (CallLog{"SetProgressRange(0,3)", "SetProgressValue(1)", "SetProgressValue(1)",
                       "SetProgressValue(2)", "SetProgressValue(3)"}));
}

TEST(RunSyntaxFilesTest, EntriesAreHandedOverUnchangedAndRepeatedEntriesRunTwice) {
    RunRig rig;
    StartRun(Files({"  /s/a.sps ", "/s/a.sps", "/s/a.sps"}, OutputFormat::Viewer), rig.progress,
             rig.services);
    EXPECT_EQ(rig.Only("RunSyntaxFile"),
              (CallLog{"RunSyntaxFile(  /s/a.sps ,true)", "RunSyntaxFile(/s/a.sps,true)",
                       "RunSyntaxFile(/s/a.sps,true)"}));
    EXPECT_EQ(
        rig.Only("SaveDocument"),
        (CallLog{"SaveDocument(  /s/a.spo)", "SaveDocument(/s/a.spo)", "SaveDocument(/s/a.spo)"}));
}

TEST(RunFailureTest, FailureAtTheThirdOfFiveStopsTheRunAndSaysWhere) {
    RunRig rig;
    rig.engines.script.onRun = [](int call, const std::string& name) {
        if (call == 3)
            throw EngineError("Cannot run " + name + ": No such file or directory");
    };
    StartRun(Files({"/s/1.sps", "/s/2.sps", "/s/3.sps", "/s/4.sps", "/s/5.sps"},
                   OutputFormat::Viewer, /*shutDown=*/true),
             rig.progress, rig.services);

    EXPECT_EQ(rig.Only("SaveDocument"),
              (CallLog{"SaveDocument(/s/1.spo)", "SaveDocument(/s/2.spo)"}));
    EXPECT_EQ(rig.Only("SetProgressValue").back(), "SetProgressValue(2)");
    EXPECT_EQ(rig.Count("QuitEngine"), 0);
    EXPECT_EQ(rig.Count("CloseProgress"), 0);
    EXPECT_EQ(rig.shutDown.requests, 0);
    EXPECT_EQ(rig.Count("Release"), 1); // the engine is released without quitting
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    const std::string& text = rig.messages.texts[0];
    EXPECT_NE(text.find("stopped at entry 3 (/s/3.sps)"), std::string::npos) << text;
    EXPECT_NE(text.find("Cannot run /s/3.sps: No such file or directory"), std::string::npos);
    EXPECT_NE(text.find("Syntaxes executed before: 2"), std::string::npos) << text;
}

TEST(RunFailureTest, EngineThatCannotBeCreatedLeavesProgressShownAndSaysWhy) {
    RunRig rig;
    rig.engines.script.failCreate = true;
    StartRun(Files({"/s/a.sps"}, OutputFormat::Text), rig.progress, rig.services);
    const CallLog expected = {
        "SetProgressRange(0,1)",
        "SetProgressValue(1)",
        "ShowProgress",
        "MinimiseMainWindow",
        "Create(SPSS.APPLICATION)",
        "Message(" +
            RunFailureMessage(RunPosition(), "The statistics package PSPP cannot be found") + ")"};
    EXPECT_EQ(rig.log, expected);
    EXPECT_NE(rig.messages.texts[0].find("before the first syntax"), std::string::npos);
}

TEST(RunFailureTest, QuitFailureAbandonsTheRunWithoutMessageOfCompletionOrShutDown) {
    RunRig rig;
    rig.engines.script.failQuit = true;
    StartRun(Files({"/s/a.sps", "/s/b.sps"}, OutputFormat::Viewer, true), rig.progress,
             rig.services);
    EXPECT_EQ(rig.Count("CloseProgress"), 0);
    EXPECT_EQ(rig.shutDown.requests, 0);
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_NE(rig.messages.texts[0].find("while closing the statistics package"),
              std::string::npos);
    EXPECT_NE(rig.messages.texts[0].find("Syntaxes executed before: 2"), std::string::npos);
}

TEST(RunFailureTest, FailedSaveNamesThePathAndKeepsEarlierOutputs) {
    RunRig rig;
    rig.engines.script.failSaveFor = "/s/b.txt";
    StartRun(Files({"/s/a.sps", "/s/b.sps", "/s/c.sps"}, OutputFormat::Text), rig.progress,
             rig.services);
    EXPECT_EQ(rig.Only("RunSyntaxFile").size(), 2u);
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_NE(rig.messages.texts[0].find("Cannot write /s/b.txt: Permission denied"),
              std::string::npos);
    EXPECT_NE(rig.messages.texts[0].find("Syntaxes executed before: 1"), std::string::npos);
}

// An output must never replace its own syntax file.
TEST(RunFailureTest, OutputThatWouldOverwriteItsSyntaxFileStopsBeforeTheEngineRunsIt) {
    struct Case {
        OutputFormat format;
        const char* entry;
    };
    for (const Case& c :
         {Case{OutputFormat::Text, "/s/x.txt"}, Case{OutputFormat::Viewer, "/s/x.spo"},
          Case{OutputFormat::Draft, "/s/x.rtf"}}) {
        RunRig rig;
        StartRun(Files({"/s/a.sps", c.entry, "/s/c.sps"}, c.format), rig.progress, rig.services);
        EXPECT_EQ(rig.Only("RunSyntaxFile").size(), 1u) << c.entry;
        ASSERT_EQ(rig.messages.texts.size(), 1u);
        EXPECT_NE(rig.messages.texts[0].find("stopped at entry 2"), std::string::npos);
        EXPECT_NE(rig.messages.texts[0].find("would replace the syntax file itself"),
                  std::string::npos);
    }
}

// An output never replaces, under any name, the syntax file being run, a
// syntax or list file of the run, or the output of another syntax file.
TEST(RunFailureTest, OutputsThatWouldReplaceInputsOrOtherOutputsAreRefused) {
    struct Case {
        const char* what;
        InputMode mode;
        std::vector<std::string> entries; // in the folder; "x>y": x is a link to y
        std::vector<std::string> lists;   // "name:line;line": a list file
        std::size_t runs;                 // syntax files run before the refusal
        const char* refusal;              // empty: no refusal
    };
    const std::vector<Case> cases = {
        {"syntax reached through a link",
         InputMode::SyntaxFiles,
         {"y.sps>y.txt"},
         {},
         0,
         "is the syntax file"},
        {"list file named like an output",
         InputMode::SyntaxLists,
         {},
         {"wave1.txt:wave1.sps"},
         0,
         "would replace the syntax list file"},
        {"later syntax file",
         InputMode::SyntaxFiles,
         {"x.sps", "x.txt"},
         {},
         0,
         "would replace the syntax file"},
        {"two syntax files, one output",
         InputMode::SyntaxFiles,
         {"x.sps", "x.sps2"},
         {},
         1,
         "would replace the output written in this run for"},
        {"hidden names",
         InputMode::SyntaxFiles,
         {".hidden", ".other"},
         {},
         1,
         "would replace the output written in this run for"},
        {"the same syntax file twice", InputMode::SyntaxFiles, {"a.sps", "a.sps"}, {}, 2, ""},
    };
    std::vector<std::string> skipped;
    for (const Case& c : cases) {
        testing::TempDir dir;
        RunSettings settings = Files({}, OutputFormat::Text);
        settings.inputMode = c.mode;
        for (const std::string& entry : c.entries) {
            const std::size_t arrow = entry.find('>');
            const std::string name = entry.substr(0, arrow);
            if (arrow == std::string::npos) {
                dir.Write(name, "LIST.\n");
            } else {
                dir.Write(entry.substr(arrow + 1), "LIST.\n");
                if (!testing::MakeSymbolicLink(entry.substr(arrow + 1), dir.Path(name)))
                    skipped.push_back(c.what);
            }
            settings.entries.push_back(dir.Path(name));
        }
        for (const std::string& list : c.lists) {
            const std::size_t colon = list.find(':');
            const std::string syntax = list.substr(colon + 1);
            dir.Write(syntax, "LIST.\n");
            settings.entries.push_back(dir.Write(list.substr(0, colon), dir.Path(syntax) + "\n"));
        }
        if (!skipped.empty() && skipped.back() == c.what)
            continue;
        RunRig rig;
        rig.engines.script.writeFiles = true;
        StartRun(settings, rig.progress, rig.services);
        EXPECT_EQ(rig.engines.written.size(), c.runs) << c.what;
        ASSERT_EQ(rig.messages.texts.size(), 1u) << c.what;
        if (*c.refusal) {
            EXPECT_NE(rig.messages.texts[0].find(c.refusal), std::string::npos)
                << c.what << ": " << rig.messages.texts[0];
        } else {
            EXPECT_EQ(rig.messages.texts[0], kCompletionMessage) << c.what;
        }
    }
    if (!skipped.empty())
        GTEST_SKIP() << "this system makes no symbolic links: not run: " << skipped.front();
}

TEST(RunFailureTest, MoreEntriesThanA16BitCountFailsBeforeAnythingRuns) {
    RunRig rig;
    StartRun(Files(std::vector<std::string>(32768, "/s/a.sps"), OutputFormat::Viewer), rig.progress,
             rig.services);
    EXPECT_EQ(rig.Count("Create(SPSS.APPLICATION)"), 0);
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_NE(rig.messages.texts[0].find("Overflow"), std::string::npos);
}

TEST(RunFailureTest, AFailedRunDoesNotStopTheNextRunFromStartingAfresh) {
    RunRig rig;
    rig.engines.script.onRun = [](int, const std::string&) { throw EngineError("boom"); };
    const RunSettings settings = Files({"/s/a.sps"}, OutputFormat::Viewer);
    StartRun(settings, rig.progress, rig.services);
    rig.engines.script.onRun = nullptr;
    rig.log.clear();
    StartRun(settings, rig.progress, rig.services);
    EXPECT_EQ(rig.log.front(), "SetProgressRange(0,1)");
    EXPECT_EQ(rig.Count("Create(SPSS.APPLICATION)"), 1);
    EXPECT_EQ(rig.Count("Message(The Syntaxes have been executed )"), 1);
}

} // namespace
} // namespace kalvero
