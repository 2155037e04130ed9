// The automation engine against the fake package in a Wine prefix: the call
// sequence of a run in every output format, the outputs it leaves, and each
// kind of failure (a failing operation, a server that dies, one that hangs).
#include "batch/run_settings.h"
#include "engine/automation/automation_engine.h"
#include "engine/automation/com_support.h"
#include "engine/automation/server_process.h"
#include "tests/windows_target/wine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

namespace kalvero {
namespace {

using windows_testing::FakeServer;
using windows_testing::FileExists;
using windows_testing::ReadFile;
using windows_testing::TempFolder;

constexpr DWORD kEndMs = 30000;

// The engine calls of a run of syntax files, in the order the runs make
// them: create, GetSettings, SetOutputKind once; per file RunSyntaxFile, one
// document, its save or export, CloseDocument; QuitEngine once.
void RunLikeTheBatch(OutputFormat format, const std::vector<std::string>& files) {
    const FormatTraits& traits = TraitsOf(format);
    AutomationEngineFactory factory;
    std::unique_ptr<EngineApplication> engine = factory.CreateObject(kEngineProgId);
    engine->GetSettings()->SetOutputKind(traits.outputKind);
    for (const std::string& file : files) {
        const std::string output = OutputPathFor(file, traits.extension);
        engine->RunSyntaxFile(file, true);
        const std::shared_ptr<EngineDocument> document = traits.document == DocumentKind::Viewer
                                                             ? engine->CurrentViewerDocument()
                                                             : engine->CurrentDraftDocument();
        if (traits.write == WriteMethod::SaveDocument)
            document->SaveDocument(output);
        else
            document->ExportText(1, output, 1, 0);
        document->CloseDocument();
    }
    engine->QuitEngine();
}

std::vector<std::string> ExpectedCalls(OutputFormat format, const std::vector<std::string>& files) {
    const FormatTraits& traits = TraitsOf(format);
    std::vector<std::string> calls = {"GetSettings()",
                                      "SetOutputKind(" + std::to_string(traits.outputKind) + ")"};
    for (const std::string& file : files) {
        const std::string output = OutputPathFor(file, traits.extension);
        calls.push_back("RunSyntaxFile(" + file + ", -1)");
        calls.push_back(traits.document == DocumentKind::Viewer ? "CurrentViewerDocument()"
                                                                : "CurrentDraftDocument()");
        calls.push_back(traits.write == WriteMethod::SaveDocument
                            ? "SaveDocument(" + output + ")"
                            : "ExportText(1, " + output + ", 1, 0)");
        calls.push_back("CloseDocument()");
    }
    calls.push_back("QuitEngine()");
    return calls;
}

struct FormatCase {
    OutputFormat format;
    const char* marker; // what the fake writes first in such a file
};

class EveryFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EveryFormat, RunsTheCallSequenceAndWritesEachOutputBesideItsFile) {
    const FormatCase& c = GetParam();
    TempFolder folder;
    FakeServer server(folder);
    const std::vector<std::string> files = {folder.Write("wave 1.sps", "DESCRIPTIVES x.\n"),
                                            folder.Write("größe.sps", "FREQUENCIES y.\n")};

    RunLikeTheBatch(c.format, files);

    EXPECT_EQ(server.Calls(), ExpectedCalls(c.format, files));
    for (const std::string& file : files) {
        const std::string output = ReadFile(OutputPathFor(file, TraitsOf(c.format).extension));
        EXPECT_EQ(output.rfind(c.marker, 0), 0u) << output;
        EXPECT_NE(output.find(file), std::string::npos) << "output names " << output;
    }
    EXPECT_TRUE(server.WaitForEnd(kEndMs)) << "the server still runs after the run";
    EXPECT_EQ(server.Journal().back(), "ended");
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
    const char* fault;  // for the fake: operation, call number, HRESULT or "die"
    const char* words;  // how the message starts
    int file;           // index of the syntax file the message names; -1: none
    bool namesOutput;   // the message names that file's output before the file
    const char* reason; // the system's text in the message; nullptr: any
};

// "SaveDocument to C:\d\a.spo failed for C:\d\a.sps: ", "GetSettings failed: "
std::string MessageStart(const FailureCase& c, const std::vector<std::string>& files) {
    if (c.file < 0)
        return c.words;
    const std::string& file = files[c.file];
    const std::string output = OutputPathFor(file, TraitsOf(c.format).extension);
    return c.words + (c.namesOutput ? output + " failed for " : "") + file + ": ";
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
    return std::find(calls.begin(), failing, "SaveDocument(" + output + ")") != failing ||
           std::find(calls.begin(), failing, "ExportText(1, " + output + ", 1, 0)") != failing;
}

class FailingServer : public ::testing::TestWithParam<FailureCase> {};

// The run stops at the failing call, its message says which call failed for
// which file and why, outputs written before it stay, and the server ends
// when the engine is released.
TEST_P(FailingServer, StopsTheRunAtTheCallWithAMessageNamingItsFileAndReason) {
    const FailureCase& c = GetParam();
    TempFolder folder;
    FakeServer server(folder, c.fault);
    const std::vector<std::string> files = {folder.Write("a b.sps", "DESCRIPTIVES x.\n"),
                                            folder.Write("ü.sps", "FREQUENCIES y.\n")};
    std::string message;
    try {
        RunLikeTheBatch(c.format, files);
    } catch (const EngineError& failure) {
        message = failure.what();
    }

    EXPECT_EQ(message.rfind(MessageStart(c, files), 0), 0u) << message;
    if (c.reason) {
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
    const std::vector<std::string> calls =
        CallsUpToTheFailure(ExpectedCalls(c.format, files), c.fault);
    EXPECT_EQ(server.Calls(), calls);
    for (const std::string& file : files) {
        const std::string output = OutputPathFor(file, TraitsOf(c.format).extension);
        EXPECT_EQ(FileExists(output), WrittenBefore(calls, output)) << output;
    }
    EXPECT_TRUE(server.WaitForEnd(kEndMs)) << "the server still runs after the run";
}

INSTANTIATE_TEST_SUITE_P(
    Operations, FailingServer,
    ::testing::Values(
        FailureCase{"GetSettings", OutputFormat::Viewer, "GetSettings 1 0x80070005",
                    "GetSettings failed: ", -1, false, "Access denied. (0x80070005)"},
        FailureCase{"SetOutputKind", OutputFormat::Draft, "SetOutputKind 1 0x80070005",
                    "SetOutputKind 1 failed: ", -1, false, "Access denied. (0x80070005)"},
        FailureCase{"RunSyntaxFile", OutputFormat::Viewer, "RunSyntaxFile 2 0x80070005",
                    "RunSyntaxFile failed for ", 1, false, "Access denied. (0x80070005)"},
        FailureCase{"CurrentViewerDocument", OutputFormat::Text,
                    "CurrentViewerDocument 1 0x80004005", "CurrentViewerDocument failed for ", 0,
                    false, "(0x80004005)"},
        FailureCase{"CurrentDraftDocument", OutputFormat::Draft,
                    "CurrentDraftDocument 2 0x80004005", "CurrentDraftDocument failed for ", 1,
                    false, "(0x80004005)"},
        FailureCase{"SaveDocument", OutputFormat::Viewer, "SaveDocument 1 0x80070070",
                    "SaveDocument to ", 0, true, "Disk full. (0x80070070)"},
        FailureCase{"ExportText", OutputFormat::Text, "ExportText 2 0x80070005", "ExportText to ",
                    1, true, "Access denied. (0x80070005)"},
        FailureCase{"CloseDocument", OutputFormat::Draft, "CloseDocument 1 0x80070005",
                    "CloseDocument failed for ", 0, false, "Access denied. (0x80070005)"},
        FailureCase{"QuitEngine", OutputFormat::Viewer, "QuitEngine 1 0x80070005",
                    "QuitEngine failed: ", -1, false, "Access denied. (0x80070005)"},
        FailureCase{"ServerDiesInRunSyntaxFile", OutputFormat::Viewer, "RunSyntaxFile 1 die",
                    "RunSyntaxFile failed for ", 0, false, nullptr}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.label; });

// A syntax file that never ends: ended by the server's process id, as the
// time limit does, the call fails and the run stops there.
TEST(HangingServer, EndedByItsProcessIdFailsTheCallItHangsIn) {
    TempFolder folder;
    FakeServer server(folder, "RunSyntaxFile 1 hang");
    const std::vector<std::string> files = {folder.Write("endless.sps", "LOOP.\n")};
    std::thread timeLimit([&server] {
        if (server.WaitForLine("RunSyntaxFile(", kEndMs))
            server.Kill();
    });
    std::string message;
    try {
        RunLikeTheBatch(OutputFormat::Viewer, files);
    } catch (const EngineError& failure) {
        message = failure.what();
    }
    timeLimit.join();

    EXPECT_EQ(message.rfind("RunSyntaxFile failed for " + files[0] + ": ", 0), 0u) << message;
    EXPECT_TRUE(server.WaitForEnd(kEndMs));
    EXPECT_FALSE(FileExists(OutputPathFor(files[0], "spo")));
}

TEST(NotUtf8Name, FailsAsARunFailureBeforeReachingTheServer) {
    TempFolder folder;
    FakeServer server(folder);
    try {
        RunLikeTheBatch(OutputFormat::Viewer, {folder.Path("a\xff.sps")});
        FAIL() << "the run went on";
    } catch (const EngineError& failure) {
        EXPECT_NE(std::string(failure.what()).find("is not UTF-8 text"), std::string::npos);
    }
    EXPECT_EQ(server.Calls(), (std::vector<std::string>{"GetSettings()", "SetOutputKind(0)"}));
}

// A time limit ends the process serving the engine, which COM started and
// does not name; the proxy's marshaled form tells it, and finding it leaves
// no reference behind that would keep the server alive.
TEST(ServerProcess, ServingTheEngineIsFoundFromItsProxy) {
    TempFolder folder;
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
