// A whole run of three syntax files through RunSyntaxFiles with the real
// engine, in each output format: every output beside its syntax file, the
// run closed with its message, nothing left behind.
#include "batch/run_command.h"
#include "engine/pspp_engine.h"
#include "tests/support/draft_readers.h"
#include "tests/support/fakes.h"
#include "tests/support/pspp_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalvero {

static void PrintTo(OutputFormat format, std::ostream* os) {
    *os << TraitsOf(format).extension;
}

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::ReadFile;
using ::testing::StartsWith;

class PsppBatchRunTest : public ::testing::TestWithParam<OutputFormat> {
protected:
    testing::EngineTestFolder folder;
};

TEST_P(PsppBatchRunTest, ThreeSyntaxFilesEachGetTheirOutput) {
    const OutputFormat format = GetParam();
    RunSettings settings;
    settings.outputFormat = format;
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        settings.entries.push_back(
            testing::WriteFile(folder.Path("wave" + n + ".SPS"),
                               "DATA LIST LIST /v" + n +
                                   ".\nBEGIN DATA\n1\n2\nEND DATA.\nDESCRIPTIVES v" + n + ".\n"));
    }
    PsppEngineFactory engines;
    testing::FakeMessages messages;
    testing::FakeShutDown shutDown;
    testing::RecordingProgress progress;
    LocalFileSystem files;
    const RunServices services{engines, messages, shutDown, files};

    StartRun(settings, progress, services);

    EXPECT_THAT(messages.texts, ElementsAre(kCompletionMessage));
    EXPECT_TRUE(progress.closed);
    EXPECT_EQ(progress.lastValue, 3.0f);
    EXPECT_EQ(shutDown.requests, 0);
    const std::string extension = TraitsOf(format).extension;
    std::vector<std::string> drafts;
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        const std::string output = folder.Path("wave" + n + "." + extension);
        const std::string content = ReadFile(output);
        switch (format) {
        case OutputFormat::Viewer: {
            int status = 0;
            EXPECT_THAT(testing::RunProgram("pspp-output", {"dir", output}, status),
                        HasSubstr("Descriptive Statistics"));
            EXPECT_EQ(status, 0);
            break;
        }
        case OutputFormat::Draft:
            EXPECT_THAT(content, StartsWith("{\\rtf1"));
            drafts.push_back(output);
            break;
        case OutputFormat::Text:
            break;
        }
        if (format != OutputFormat::Viewer) {
            EXPECT_THAT(content, HasSubstr("v" + n));
        }
    }
    // The Draft documents read back by readers of their own.
    if (!drafts.empty() && testing::MissingDraftReaders().empty()) {
        const auto readings = testing::ReadDrafts(drafts);
        for (std::size_t i = 0; i < readings.size(); ++i)
            for (const testing::DraftReading& reading : readings[i])
                EXPECT_THAT(reading.text, HasSubstr("v" + std::to_string(i + 1))) << reading.reader;
    }
    EXPECT_EQ(testing::NamesIn(folder.Files()).size(), 6u);
    EXPECT_THAT(folder.LeftInTemporary(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, PsppBatchRunTest,
                         ::testing::Values(OutputFormat::Viewer, OutputFormat::Draft,
                                           OutputFormat::Text),
                         [](const ::testing::TestParamInfo<OutputFormat>& info) {
                             return std::string(TraitsOf(info.param).extension);
                         });

} // namespace
} // namespace kalvero
