// The automation engine against the fake package in a Wine prefix: the call
// sequence of a run in every output format, the outputs it leaves, and each
// kind of failure (a failing operation, a server that dies, one that hangs).
#include "batch/run_settings.h"
#include "engine/automation/automation_engine.h"
#include "tests/windows_target/wine_test_support.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace kalvero
