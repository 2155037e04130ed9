// The plan of a batch at its seam: entries and files on disk in, jobs out
// (list line, syntax file, output, the job it waits for, refusal). Paths are
// relative to the test's folder, which is the working folder, so that
// spellings can differ while naming the same file.
#include "batch/batch_plan.h"
#include "tests/support/native_file_system.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kalvero {
namespace {

struct PlanCase {
    const char* name;
    InputMode mode;
    // Made before planning: "dir/" a folder, "link->target" a symbolic link,
    // "name=content" a file, "name" a syntax file.
    std::vector<std::string> files;
    std::vector<std::string> entries;
    // One row per job: "line|syntax file|output|after|refusal (a part of it)".
    std::vector<std::string> jobs;
};

void PrintTo(const PlanCase& row, std::ostream* out) {
    *out << row.name;
}

std::string Row(const Job& job) {
    return std::to_string(job.line) + "|" + job.syntaxFile + "|" + job.outputPath + "|" +
           std::to_string(job.after) + "|" + job.refusal;
}

class PlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanTest, JobsOutputsAndRefusals) {
    const PlanCase& row = GetParam();
    testing::TempDir dir;
    const testing::WorkingDirectory inside(dir.Path(""));
    for (const std::string& file : row.files) {
        const std::size_t arrow = file.find("->");
        const std::size_t equals = file.find('=');
        if (file.back() == '/')
            std::filesystem::create_directories(file);
        else if (arrow != std::string::npos &&
                 !testing::MakeSymbolicLink(file.substr(arrow + 2), file.substr(0, arrow)))
            GTEST_SKIP() << "this system makes no symbolic links";
        else if (equals != std::string::npos)
            testing::WriteFile(dir.Path(file.substr(0, equals)), file.substr(equals + 1));
        else
            testing::WriteFile(dir.Path(file), "LIST.\n");
    }
    testing::NativeFileSystem files;
    const Plan plan = MakePlan(row.entries, row.mode, OutputFormat::Text, PlanRules(), files);
    ASSERT_EQ(plan.jobs.size(), row.jobs.size());
    for (std::size_t i = 0; i < row.jobs.size(); ++i) {
        const std::string expected = row.jobs[i];
        const std::size_t refusal = expected.rfind('|') + 1;
        const std::string actual = Row(plan.jobs[i]);
        EXPECT_EQ(actual.substr(0, refusal), expected.substr(0, refusal)) << "job " << i;
        if (refusal == expected.size()) {
            EXPECT_EQ(actual.substr(refusal), "") << "job " << i;
        } else {
            EXPECT_THAT(actual.substr(refusal), ::testing::HasSubstr(expected.substr(refusal)))
                << "job " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlanTest,
    ::testing::Values(
        PlanCase{"ListLinesCountCommentsAndBlanks",
                 InputMode::SyntaxLists,
                 {"jobs.lst=* the batch\n\n  a.sps  \r\n   * x\nb.sps"},
                 {"jobs.lst"},
                 {"3|a.sps|a.txt|-1|", "5|b.sps|b.txt|-1|"}},
        PlanCase{"AnUnreadableListIsOneRefusedJob",
                 InputMode::SyntaxLists,
                 {"one.lst=a.sps"},
                 {"one.lst", "none.lst"},
                 {"1|a.sps|a.txt|-1|", "0|||-1|Cannot open the list file none.lst"}},
        PlanCase{"TheSameSyntaxFileTwiceWaitsForItself",
                 InputMode::SyntaxFiles,
                 {"a.sps", "sub/"},
                 {"a.sps", "sub/../a.sps"},
                 {"0|a.sps|a.txt|-1|", "0|sub/../a.sps|sub/../a.txt|0|"}},
        PlanCase{"AnOutputNotYetMadeIsKnownUnderAnotherSpelling",
                 InputMode::SyntaxFiles,
                 {"x.sps", "x.sps2", "sub/"},
                 {"x.sps", "sub/../x.sps2"},
                 {"0|x.sps|x.txt|-1|",
                  "0|sub/../x.sps2|sub/../x.txt|-1|would replace the output written in this run "
                  "for x.sps"}},
        PlanCase{"ALinkAtTheOutputIsReadFromItsOwnFolder",
                 InputMode::SyntaxFiles,
                 {"d/", "d/a.sps", "d/b.sps", "d/a.txt->b.txt"},
                 {"d/a.sps", "d/b.sps"},
                 {"0|d/a.sps|d/a.txt|-1|",
                  "0|d/b.sps|d/b.txt|-1|would replace the output written in this run for "
                  "d/a.sps"}},
        PlanCase{"AnOutputThatIsAListFileOrALaterSyntaxFile",
                 InputMode::SyntaxLists,
                 {"w.txt=w.sps\nv.sps\nv.txt", "w.sps", "v.sps", "v.txt"},
                 {"w.txt"},
                 {"1|w.sps|w.txt|-1|would replace the syntax list file w.txt",
                  "2|v.sps|v.txt|-1|would replace the syntax file v.txt",
                  "3|v.txt|v.txt|-1|would replace the syntax file itself"}}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return info.param.name; });

// The 16-bit limits are the windows' alone: kalvero-run takes any number.
TEST(PlanLimitsTest, TheWindowsCountEntriesAndListLinesIn16Bits) {
    testing::TempDir dir;
    testing::NativeFileSystem files;
    std::string lines;
    for (int i = 0; i < 32768; ++i)
        lines += "* comment\n";
    const std::string list = dir.Write("big.lst", lines);
    PlanRules windows;
    windows.limits16 = true;
    const Plan big = MakePlan({list}, InputMode::SyntaxLists, OutputFormat::Text, windows, files);
    ASSERT_EQ(big.jobs.size(), 1u);
    EXPECT_THAT(big.jobs[0].refusal, ::testing::HasSubstr("Overflow"));
    EXPECT_TRUE(MakePlan({list}, InputMode::SyntaxLists, OutputFormat::Text, PlanRules(), files)
                    .jobs.empty());
    const std::vector<std::string> many(32768, "/s/a.sps");
    EXPECT_THROW(MakePlan(many, InputMode::SyntaxFiles, OutputFormat::Text, windows, files),
                 std::overflow_error);
    EXPECT_EQ(
        MakePlan(many, InputMode::SyntaxFiles, OutputFormat::Text, PlanRules(), files).jobs.size(),
        32768u);
}

// A job picked alone from a plan (a task of a job array) waits for nothing.
TEST(PlanLimitsTest, APickedJobWaitsForNothing) {
    testing::TempDir dir;
    testing::NativeFileSystem files;
    const std::string syntax = dir.Write("a.sps", "LIST.\n");
    const Plan plan =
        MakePlan({syntax, syntax}, InputMode::SyntaxFiles, OutputFormat::Text, PlanRules(), files);
    ASSERT_EQ(plan.jobs[1].after, 0);
    EXPECT_EQ(PickJob(plan, 2).jobs.at(0).after, -1);
    EXPECT_THROW(PickJob(plan, 3), std::out_of_range);
}

} // namespace
} // namespace kalvero
