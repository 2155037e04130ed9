// The automation engine against the fake package in a Wine prefix: the call
// sequence of a run in every output format, the outputs it leaves (and
// nothing else), each kind of failure (a failing operation, a server that
// dies, one that hangs past the time limit, a stop, a save that writes
// nothing), and that no server outlives the engine.
#include "batch/file_system.h"
#include "batch/run_settings.h"
#include "batch/run_stop.h"
#include "engine/automation/automation_engine.h"
#include "engine/automation/com_support.h"
#include "engine/automation/server_process.h"
#include "tests/windows_target/wine_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

namespace kalvero {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using windows_testing::ExpectedCalls;
using windows_testing::FakeServer;
using windows_testing::FileCalls;
using windows_testing::FileExists;
using windows_testing::NamesIn;
using windows_testing::OutputOf;
using windows_testing::SavedAs;
using windows_testing::TestFolder;

constexpr DWORD kEndMs = 30000;

// One syntax file's conversation, as the batch has it (batch/engine_session.h).
void RunOne(EngineApplication& engine, OutputFormat format, const std::string& file) {
    const FormatTraits& traits = TraitsOf(format);
    engine.RunSyntaxFile(file, true);
    const std::shared_ptr<EngineDocument> document = traits.document == DocumentKind::Viewer
                                                         ? engine.CurrentViewerDocument()
                                                         : engine.CurrentDraftDocument();
    if (traits.write == WriteMethod::SaveDocument)
        document->SaveDocument(OutputOf(file, format));
    else
        document->ExportText(1, OutputOf(file, format), 1, 0);
    document->CloseDocument();
}

// The engine calls of a run of syntax files, in the order the runs make
// them: create, GetSettings, SetOutputKind once; per file RunSyntaxFile, one
// document, its save or export, CloseDocument; QuitEngine once.
void RunLikeTheBatch(OutputFormat format, const std::vector<std::string>& files,
                     int timeLimit = 0) {
    AutomationEngineFactory factory(timeLimit);
    std::unique_ptr<EngineApplication> engine = factory.CreateObject(kEngineProgId);
    engine->GetSettings()->SetOutputKind(TraitsOf(format).outputKind);
    for (const std::string& file : files)
        RunOne(*engine, format, file);
    engine->QuitEngine();
}

struct FormatCase {
    OutputFormat format;
    const char* marker; // what the fake writes first in such a file
};

class EveryFormat : public ::testing::TestWithParam<FormatCase> {};

// The server saves into a temporary beside each output, which takes the
// output's place whole: an older output is replaced, no temporary stays.
TEST_P(EveryFormat, RunsTheCallSequenceAndPublishesEachOutputWholeBesideItsFile) {
    const FormatCase& c = GetParam();
    TestFolder folder;
    FakeServer server(folder);
    const std::vector<std::string> files = {folder.Write("wave 1.sps", "DESCRIPTIVES x.\n"),
                                            folder.Write("größe.sps", "FREQUENCIES y.\n")};
    folder.Write(NameOf(OutputOf(files[0], c.format)), "an older output\n");

    RunLikeTheBatch(c.format, files);

    EXPECT_EQ(server.Calls(), ExpectedCalls(c.format, files));
    for (const std::string& file : files) {
        const std::string output = testing::ReadFile(OutputOf(file, c.format));
        EXPECT_THAT(output, StartsWith(c.marker));
        EXPECT_THAT(output, HasSubstr(file)) << "the output names its syntax file";
    }
    EXPECT_TRUE(server.WaitForEnd(kEndMs)) << "the server still runs after the run";
    EXPECT_EQ(server.Journal().back(), "ended");
    std::vector<std::string> names = NamesIn(folder.Path(""));
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {"journal.txt"};
    for (const std::string& file : files) {
        expected.push_back(NameOf(file));
        expected.push_back(NameOf(OutputOf(file, c.format)));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EveryFormat,
    ::testing::Values(FormatCase{OutputFormat::Viewer, "KALVERO fake Viewer document"},
                      FormatCase{OutputFormat::Draft, "{\\rtf1 KALVERO fake Draft document}"},
                      FormatCase{OutputFormat::Text, "KALVERO fake Text export"}),
    [](const ::testing::TestParamInfo<FormatCase>& info) {
        return std::string(TraitsOf(info.param.format).extension);
    });

struct FailureCase {
    const char* label;
    OutputFormat format;
    const char* fault; // for the fake: operation, call number, HRESULT or what to do
    // How the message starts; {file} and {output} stand for the syntax file
    // and the output of the call that fails.
    const char* start;
    int file;           // index of that syntax file
    const char* reason; // the system's text in the message; nullptr: any
};

std::string MessageStart(const FailureCase& c, const std::vector<std::string>& files) {
    std::string start = c.start;
    for (const auto& [mark, value] :
         {std::pair<std::string, std::string>{"{file}", files[c.file]},
          std::pair<std::string, std::string>{"{output}", OutputOf(files[c.file], c.format)}})
        if (const std::size_t at = start.find(mark); at != std::string::npos)
            start.replace(at, mark.size(), value);
    return start;
}

// The calls of a whole run, up to and including the one planned to fail.
std::vector<std::string> CallsUpToTheFailure(const std::vector<std::string>& all,
                                             const std::string& fault) {
    std::istringstream words(fault);
    std::string operation;
    int call = 0;
    words >> operation >> call;
    std::vector<std::string> calls;
    for (const std::string& each : all) {
        calls.push_back(each);
        if (each.rfind(operation + "(", 0) == 0 && --call == 0)
            break;
    }
    return calls;
}

// Whether a call before the last (the failing one) wrote output.
bool WrittenBefore(const std::vector<std::string>& calls, const std::string& output) {
    const auto failing = calls.end() - 1;
    const std::string saved = SavedAs(output);
    return std::find(calls.begin(), failing, "SaveDocument(" + saved + ")") != failing ||
           std::find(calls.begin(), failing, "ExportText(1, " + saved + ", 1, 0)") != failing;
}

class FailingServer : public ::testing::TestWithParam<FailureCase> {};

// The run stops at the failing call, its message says which call failed for
// which file and why, outputs written before it stay, no temporary is left,
// and the server ends when the engine is released.
TEST_P(FailingServer, StopsTheRunAtTheCallWithAMessageNamingItsFileAndReason) {
    const FailureCase& c = GetParam();
    TestFolder folder;
    FakeServer server(folder, c.fault);
    const std::vector<std::string> files = {folder.Write("a b.sps", "DESCRIPTIVES x.\n"),
                                            folder.Write("ü.sps", "FREQUENCIES y.\n")};
    std::string message;
    try {
        RunLikeTheBatch(c.format, files);
    } catch (const EngineError& failure) {
        message = failure.what();
    }

    EXPECT_THAT(message, StartsWith(MessageStart(c, files)));
    if (c.reason) {
        EXPECT_THAT(message, HasSubstr(c.reason));
    }
    const std::vector<std::string> calls =
        CallsUpToTheFailure(ExpectedCalls(c.format, files), c.fault);
    EXPECT_EQ(server.Calls(), calls);
    for (const std::string& file : files) {
        const std::string output = OutputOf(file, c.format);
        EXPECT_EQ(FileExists(output), WrittenBefore(calls, output)) << output;
    }
    EXPECT_TRUE(server.WaitForEnd(kEndMs)) << "the server still runs after the run";
    for (const std::string& name : NamesIn(folder.Path("")))
        EXPECT_THAT(name, ::testing::Not(StartsWith("~kalvero-"))) << "a temporary was left";
}

INSTANTIATE_TEST_SUITE_P(
    Operations, FailingServer,
    ::testing::Values(
        FailureCase{"GetSettings", OutputFormat::Viewer, "GetSettings 1 0x80070005",
                    "GetSettings failed: ", 0, "Access denied. (0x80070005)"},
        FailureCase{"SetOutputKind", OutputFormat::Draft, "SetOutputKind 1 0x80070005",
                    "SetOutputKind 1 failed: ", 0, "Access denied. (0x80070005)"},
        FailureCase{"RunSyntaxFile", OutputFormat::Viewer, "RunSyntaxFile 2 0x80070005",
                    "RunSyntaxFile failed for {file}: ", 1, "Access denied. (0x80070005)"},
        FailureCase{"CurrentViewerDocument", OutputFormat::Text,
                    "CurrentViewerDocument 1 0x80004005",
                    "CurrentViewerDocument failed for {file}: ", 0, "(0x80004005)"},
        FailureCase{"CurrentDraftDocument", OutputFormat::Draft,
                    "CurrentDraftDocument 2 0x80004005",
                    "CurrentDraftDocument failed for {file}: ", 1, "(0x80004005)"},
        FailureCase{"SaveDocument", OutputFormat::Viewer, "SaveDocument 1 0x80070070",
                    "SaveDocument to {output} failed for {file}: ", 0, "Disk full. (0x80070070)"},
        FailureCase{"ExportText", OutputFormat::Text, "ExportText 2 0x80070005",
                    "ExportText to {output} failed for {file}: ", 1, "Access denied. (0x80070005)"},
        // A package that reports success but wrote nothing (a full disk it
        // did not notice) publishes nothing.
        FailureCase{"SilentSave", OutputFormat::Draft, "SaveDocument 2 silent",
                    "Cannot write {output}: the statistics package wrote nothing into it", 1,
                    nullptr},
        FailureCase{"CloseDocument", OutputFormat::Draft, "CloseDocument 1 0x80070005",
                    "CloseDocument failed for {file}: ", 0, "Access denied. (0x80070005)"},
        FailureCase{"QuitEngine", OutputFormat::Viewer, "QuitEngine 1 0x80070005",
                    "QuitEngine failed: ", 0, "Access denied. (0x80070005)"},
        FailureCase{"ServerDiesInRunSyntaxFile", OutputFormat::Viewer, "RunSyntaxFile 1 die",
                    "RunSyntaxFile failed for {file}: ", 0, nullptr}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.label; });

// A syntax file still running after the time limit is ended with the server
// and what the server started; the next syntax file gets a server of its
// own, with the output kind set again, and the run goes on.
TEST(TimeLimit, EndsTheServerWithWhatItStartedAndTheNextFileGetsANewServer) {
    TestFolder folder;
    FakeServer server(folder, "RunSyntaxFile 1 spawn-and-hang");
    const std::string endless = folder.Write("endless.sps", "LOOP.\n");
    const std::string next = folder.Write("next.sps", "LIST.\n");
    AutomationEngineFactory factory(2);
    std::unique_ptr<EngineApplication> engine = factory.CreateObject(kEngineProgId);
    engine->GetSettings()->SetOutputKind(0);
    try {
        RunOne(*engine, OutputFormat::Text, endless);
        FAIL() << "the endless syntax file ended";
    } catch (const EngineTimedOut& timedOut) {
        EXPECT_STREQ(timedOut.what(), ("The statistics package did not finish " + endless +
                                       " within 2 s; it was ended with everything it started")
                                          .c_str());
    }
    const std::vector<DWORD> ended = server.ProcessIds();
    ASSERT_EQ(ended.size(), 2u) << "the server and the process it started";
    RunOne(*engine, OutputFormat::Text, next);
    engine->QuitEngine();
    engine.reset();

    std::vector<std::string> expected = {"GetSettings()", "SetOutputKind(0)",
                                         "RunSyntaxFile(" + endless + ", -1)", "GetSettings()",
                                         "SetOutputKind(0)"};
    for (const std::string& call : FileCalls(OutputFormat::Text, next))
        expected.push_back(call);
    expected.push_back("QuitEngine()");
    EXPECT_EQ(server.Calls(), expected);
    EXPECT_FALSE(FileExists(OutputOf(endless, OutputFormat::Text)));
    EXPECT_TRUE(FileExists(OutputOf(next, OutputFormat::Text)));
    EXPECT_TRUE(server.WaitForEnd(kEndMs)) << "a server or its child still runs";
}

// A stop requested while a syntax file runs (Ctrl+C) ends the server at once.
TEST(StopRequest, EndsTheServerAndTheSyntaxFileCountsAsStopped) {
    TestFolder folder;
    FakeServer server(folder, "RunSyntaxFile 1 hang");
    const std::string endless = folder.Write("endless.sps", "LOOP.\n");
    std::thread stopper([&server] {
        if (server.WaitForLine("RunSyntaxFile(", kEndMs))
            RequestStop("ended by Ctrl+C");
    });
    std::string message;
    try {
        RunLikeTheBatch(OutputFormat::Viewer, {endless});
    } catch (const RunStopped& stopped) {
        message = stopped.what();
    }
    stopper.join();
    ClearStop();
    EXPECT_EQ(message, "The run was ended by Ctrl+C");
    EXPECT_TRUE(server.WaitForEnd(kEndMs));
    EXPECT_FALSE(FileExists(OutputOf(endless, OutputFormat::Viewer)));
}

TEST(NotUtf8Name, FailsAsARunFailureBeforeReachingTheServer) {
    TestFolder folder;
    FakeServer server(folder);
    try {
        RunLikeTheBatch(OutputFormat::Viewer, {folder.Path("") + "a\xff.sps"});
        FAIL() << "the run went on";
    } catch (const EngineError& failure) {
        EXPECT_THAT(failure.what(), HasSubstr("is not UTF-8 text"));
    }
    EXPECT_EQ(server.Calls(), (std::vector<std::string>{"GetSettings()", "SetOutputKind(0)"}));
}

// A time limit ends the process serving the engine, which COM started and
// does not name; the proxy's marshaled form tells it, and finding it leaves
// no reference behind that would keep the server alive.
TEST(ServerProcess, ServingTheEngineIsFoundFromItsProxy) {
    TestFolder folder;
    FakeServer server(folder);
    ASSERT_EQ(automation::UseComOnThisThread(), S_OK);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"SPSS.APPLICATION", &clsid), S_OK);
    automation::ComPtr<IUnknown> engine;
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, engine.ReceiveVoid()),
        S_OK);

    const std::wstring program = automation::LocalServerProgram(clsid);
    EXPECT_EQ(program, L"fake_automation_server.exe");
    EXPECT_EQ(automation::ServerProcessId(engine.Get(), program), server.ProcessId());
    EXPECT_EQ(automation::ServerProcessId(engine.Get(), L"other.exe"), 0u);
    engine.Reset();
    EXPECT_TRUE(server.WaitForEnd(kEndMs)) << "the server still runs after its release";
}

} // namespace
} // namespace kalvero
