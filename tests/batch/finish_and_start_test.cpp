#include "tests/support/fakes.h"

#include <gtest/gtest.h>

namespace kalvero {
namespace {

using testing::CallLog;
using testing::RunRig;

RunSettings OneFile(bool shutDown) {
    RunSettings settings;
    settings.entries = {"/s/a.sps"};
    settings.shutDownAfterRun = shutDown;
    return settings;
}

CallLog ClosingPart(const CallLog& log) {
    const auto quit = std::find(log.begin(), log.end(), "QuitEngine");
    return CallLog(quit, log.end());
}

TEST(StartRunTest, EmptyListShowsItsMessageAndNothingElse) {
    for (InputMode mode : {InputMode::SyntaxFiles, InputMode::SyntaxLists}) {
        RunRig rig;
        RunSettings settings;
        settings.inputMode = mode;
        settings.shutDownAfterRun = true;
        StartRun(settings, rig.progress, rig.services);
        EXPECT_EQ(rig.log, CallLog{"Message(No Syntax or List of Syntaxes )"});
    }
}

TEST(StartRunTest, ListModeReadsEntriesAsListFilesNotAsSyntaxFiles) {
    RunRig rig;
    RunSettings settings = OneFile(false);
    settings.entries = {"/nonexistent/list.txt"};
    settings.inputMode = InputMode::SyntaxLists;
    StartRun(settings, rig.progress, rig.services);
    EXPECT_EQ(rig.Count("HideProgressBar"), 1);
    EXPECT_EQ(rig.Only("SetProgress").size(), 0u);
    EXPECT_EQ(rig.Only("RunSyntaxFile").size(), 0u); // the list file is never run itself
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_NE(rig.messages.texts[0].find("Cannot open the list file /nonexistent/list.txt: " +
                                         testing::MissingFileReason("/nonexistent/list.txt")),
              std::string::npos)
        << rig.messages.texts[0];
}

TEST(StartRunTest, FailuresOfTheRunNeverEscapeIt) {
    RunRig rig;
    rig.engines.script.onRun = [](int, const std::string&) { throw std::logic_error("odd"); };
    EXPECT_NO_THROW(StartRun(OneFile(true), rig.progress, rig.services));
    EXPECT_EQ(rig.messages.texts.size(), 1u);
}

TEST(FinishRunTest, RequestedShutDownFollowsCloseProgressWithoutAnyMessage) {
    RunRig rig;
    StartRun(OneFile(true), rig.progress, rig.services);
    EXPECT_EQ(ClosingPart(rig.log),
              (CallLog{"QuitEngine", "CloseProgress", "RequestShutDown", "Release"}));
    EXPECT_TRUE(rig.messages.texts.empty());
}

TEST(FinishRunTest, WithoutShutDownTheCompletionMessageIsShown) {
    RunRig rig;
    StartRun(OneFile(false), rig.progress, rig.services);
    EXPECT_EQ(ClosingPart(rig.log),
              (CallLog{"QuitEngine", "CloseProgress", "Message(The Syntaxes have been executed )",
                       "Release"}));
    EXPECT_EQ(rig.shutDown.requests, 0);
}

TEST(FinishRunTest, RefusedOrFailingShutDownShowsNothing) {
    for (bool throws : {false, true}) {
        RunRig rig;
        rig.shutDown.refuse = true;
        rig.shutDown.throwOnRequest = throws;
        StartRun(OneFile(true), rig.progress, rig.services);
        EXPECT_EQ(rig.shutDown.requests, 1);
        EXPECT_TRUE(rig.messages.texts.empty());
    }
}

TEST(FinishRunTest, AFailingCloseProgressIsPassedOver) {
    RunRig rig;
    rig.progress.failClose = true;
    StartRun(OneFile(false), rig.progress, rig.services);
    EXPECT_EQ(rig.messages.texts, std::vector<std::string>{"The Syntaxes have been executed "});
}

} // namespace
} // namespace kalvero
