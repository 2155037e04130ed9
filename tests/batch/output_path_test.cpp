#include "batch/batch_plan.h"
#include "batch/run_settings.h"
#include "batch/statistics_engine.h"
#include "tests/support/native_file_system.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

namespace kalvero {
namespace {

struct NamingCase {
    const char* path;
    const char* extension;
    const char* expected;
};

// Listed by ctest as "path -> output", not as the bytes of three pointers.
void PrintTo(const NamingCase& c, std::ostream* out) {
    *out << '"' << c.path << "\" -> \"" << c.expected << '"';
}

class OutputPathForTest : public ::testing::TestWithParam<NamingCase> {};

TEST_P(OutputPathForTest, KeepsTheOutputBesideItsSyntaxFile) {
    const NamingCase& c = GetParam();
    EXPECT_EQ(OutputPathFor(c.path, c.extension), c.expected) << "path: " << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputPathForTest,
    ::testing::Values(NamingCase{"D:\\study\\wave1.SPS", "spo", "D:\\study\\wave1.spo"},
                      NamingCase{"D:\\study\\a.b.sps", "txt", "D:\\study\\a.b.txt"},
                      NamingCase{"D:\\study\\job.", "txt", "D:\\study\\job.txt"},
                      // A dot in a folder name never moves the output out of the folder.
                      NamingCase{"D:\\run.old\\job", "rtf", "D:\\run.old\\job.rtf"},
                      NamingCase{"/data/run.old/job", "rtf", "/data/run.old/job.rtf"},
                      // Both separators count on every platform.
                      NamingCase{"/data/run.old\\job", "spo", "/data/run.old\\job.spo"},
                      NamingCase{"D:\\run.old/job", "spo", "D:\\run.old/job.spo"},
                      // A bare name without a dot gets a dot, not the bare extension.
                      NamingCase{"job", "spo", "job.spo"}, NamingCase{"", "spo", ".spo"},
                      NamingCase{"/data/wave1.sps", "txt", "/data/wave1.txt"},
                      NamingCase{"/data/.hidden", "txt", "/data/.txt"},
                      NamingCase{"/data/a.sps   ", "txt", "/data/a.txt"},
                      // Non-ASCII bytes pass through unchanged.
                      NamingCase{"/daten/\xC3\xBC"
                                 "bung.sps",
                                 "spo",
                                 "/daten/\xC3\xBC"
                                 "bung.spo"}));

// With its working directory removed, a relative syntax file cannot be
// resolved: reading the entries fails naming it (and does not look for ever
// for a larger buffer); absolute names need no working directory.
TEST(AbsolutePathTest, WithoutAWorkingDirectoryARelativeEntryFailsNamingIt) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows does not let the working folder of a process be removed";
#endif
    testing::TempDir dir;
    std::filesystem::create_directory(dir.Path("gone"));
    const testing::WorkingDirectory inside(dir.Path("gone"));
    std::filesystem::remove(dir.Path("gone"));
    testing::NativeFileSystem files;
    PlanRules rules;
    rules.absoluteNames = true;
    EXPECT_EQ(ReadEntries({"/data/a.sps"}, InputMode::SyntaxFiles, rules, files).at(0).syntaxFile,
              "/data/a.sps");
    try {
        ReadEntries({"a.sps"}, InputMode::SyntaxFiles, rules, files);
        ADD_FAILURE() << "a relative entry was resolved without a working directory";
    } catch (const EngineError& failure) {
        EXPECT_THAT(failure.what(),
                    ::testing::StartsWith(
                        "Cannot resolve a.sps: the working directory is not available: "));
    }
}

TEST(FormatTraitsTest, EachFormatSetsItsKindDocumentAndWriteMethod) {
    EXPECT_STREQ(TraitsOf(OutputFormat::Viewer).extension, "spo");
    EXPECT_EQ(TraitsOf(OutputFormat::Viewer).outputKind, 0);
    EXPECT_EQ(TraitsOf(OutputFormat::Viewer).write, WriteMethod::SaveDocument);
    EXPECT_STREQ(TraitsOf(OutputFormat::Draft).extension, "rtf");
    EXPECT_EQ(TraitsOf(OutputFormat::Draft).outputKind, 1);
    EXPECT_EQ(TraitsOf(OutputFormat::Draft).document, DocumentKind::Draft);
    EXPECT_STREQ(TraitsOf(OutputFormat::Text).extension, "txt");
    EXPECT_EQ(TraitsOf(OutputFormat::Text).outputKind, 0);
    EXPECT_EQ(TraitsOf(OutputFormat::Text).document, DocumentKind::Viewer);
    EXPECT_EQ(TraitsOf(OutputFormat::Text).write, WriteMethod::ExportText);
}

} // namespace
} // namespace kalvero
