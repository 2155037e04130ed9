// The run log at its seam: what a line is written as and what is read back
// from it, and which syntax files a retry runs after any fault.
#include "batch/run_log.h"
#include "tests/support/native_file_system.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

namespace kalvero {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

Job LoggedJob(const std::string& entry, long line, const std::string& syntax,
              const std::string& extension = "txt") {
    Job job;
    job.entry = entry;
    job.line = line;
    job.syntaxFile = syntax;
    job.outputPath = syntax.empty() ? "" : OutputPathFor(syntax, extension);
    return job;
}

JobResult Outcome(JobOutcome outcome, const std::string& reason = {}) {
    JobResult result;
    result.outcome = outcome;
    result.reason = reason;
    result.status = "exit 0";
    return result;
}

// Any byte a file name may hold comes back as it was written.
TEST(RunLogTest, EveryNameReadsBackAsWritten) {
    const std::vector<std::string> names = {
        "/s/plain.sps",     "/s/back\\slash.sps",   "/s/tab\there.sps",
        "/s/new\nline.sps", "/s/cr\rhere.sps",      "#hash.sps",
        "/s/end\\",         "\\#not-a-comment.sps", "/s/\xE4\xF6.sps"};
    std::string log = kLogHeader;
    for (const std::string& name : names)
        log += LogLine(LoggedJob(name, 3, name), Outcome(JobOutcome::Failed, name), "host\t1");
    const LogContent read = ReadLogLines(log, "run.log");
    EXPECT_THAT(read.skipped, ::testing::IsEmpty());
    ASSERT_EQ(read.entries.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(read.entries[i].job.entry, names[i]);
        EXPECT_EQ(read.entries[i].job.syntaxFile, names[i]);
        EXPECT_EQ(read.entries[i].job.outputPath, OutputPathFor(names[i], "txt"));
        EXPECT_EQ(read.entries[i].job.line, 3);
        EXPECT_EQ(read.entries[i].outcome, "failed");
        EXPECT_EQ(read.entries[i].reason, names[i]);
    }
}

TEST(RunLogTest, LinesCarryTheirFieldsTheHostAndAnRfc3339Time) {
    const std::string line =
        LogLine(LoggedJob("a.sps", 0, "/s/a.sps"), Outcome(JobOutcome::Ok), "node7");
    // std::regex: GoogleTest's own regular expressions on Windows know no
    // character classes.
    EXPECT_TRUE(std::regex_match(
        line,
        std::regex("a.sps\t\t/s/a.sps\t/s/a.txt\t[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:"
                   "[0-9]{2}[+-][0-9]{2}:[0-9]{2}\t[0-9.]+\tok\t\tnode7\texit 0\n")))
        << line;
    EXPECT_EQ(std::string(kLogHeader),
              "#entry\tline\tsyntax file\toutput\tstart\tseconds\toutcome\treason\thost\tstatus\n");
}

struct RetryCase {
    const char* name;
    std::string log; // "LIST" stands for the list file's path
    std::vector<std::string> retried;
    std::vector<std::string> skipped;
    std::optional<OutputFormat> format;
};

void PrintTo(const RetryCase& row, std::ostream* out) {
    *out << row.name;
}

std::string Ended(const std::string& syntax, JobOutcome outcome,
                  const std::string& extension = "txt") {
    return LogLine(LoggedJob(syntax, 0, syntax, extension), Outcome(outcome), "h");
}

std::string Planned(const std::string& syntax) {
    return PlannedLine(LoggedJob(syntax, 0, syntax), std::chrono::system_clock::now(), "h");
}

class RetryTest : public ::testing::TestWithParam<RetryCase> {};

TEST_P(RetryTest, RunsWhatDidNotEndOk) {
    const RetryCase& row = GetParam();
    testing::TempDir dir;
    testing::NativeFileSystem files;
    // The list's syntax file, "/s/x.sps" in the table, by a name absolute
    // on every system.
    const std::string inList = dir.Path("x.sps");
    const std::string list = dir.Write("jobs.lst", inList + "\n");
    std::string log = row.log;
    for (std::size_t at; (at = log.find("LIST")) != std::string::npos;)
        log.replace(at, 4, EscapedField(list));
    const RetrySet retry = JobsToRetry(dir.Write("run.log", log), files);
    std::vector<std::string> retried;
    for (const Job& job : retry.jobs)
        retried.push_back(job.syntaxFile == inList ? "/s/x.sps" : job.syntaxFile);
    EXPECT_EQ(retried, row.retried);
    EXPECT_EQ(retry.skipped, row.skipped);
    EXPECT_EQ(retry.format, row.format);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RetryTest,
    ::testing::Values(
        // The last outcome of each syntax file counts; an unreadable list is
        // read again.
        RetryCase{"LastOutcomeCounts",
                  kLogHeader + Ended("/s/a.sps", JobOutcome::Failed) +
                      Ended("/s/b.sps", JobOutcome::TimedOut) +
                      Ended("/s/a.sps", JobOutcome::OkWithErrors) +
                      LogLine(LoggedJob("LIST", 0, ""), Outcome(JobOutcome::Failed), "h") +
                      Ended("/s/c.sps", JobOutcome::Stopped) +
                      Ended("/s/b.sps", JobOutcome::Failed),
                  {"/s/b.sps", "/s/x.sps", "/s/c.sps"},
                  {},
                  OutputFormat::Text},
        // A crash (SIGKILL, power loss) after the plan was logged: the file
        // that was running and those not started come back.
        RetryCase{"PlannedAndNeverEnded",
                  kLogHeader + Planned("/s/a.sps") + Planned("/s/b.sps") + Planned("/s/c.sps") +
                      Ended("/s/a.sps", JobOutcome::Ok, "spo"),
                  {"/s/b.sps", "/s/c.sps"},
                  {},
                  OutputFormat::Viewer},
        // A line cut by the crash is skipped, saying so, with the next run's
        // lines after it on lines of their own.
        RetryCase{"ACutLineIsSkipped",
                  kLogHeader + Planned("/s/a.sps") + Planned("/s/b.sps") +
                      Ended("/s/a.sps", JobOutcome::Ok).substr(0, 30) + "\n" +
                      Ended("/s/b.sps", JobOutcome::Failed, "rtf") +
                      Ended("/s/b.sps", JobOutcome::Ok).substr(0, 40),
                  {"/s/a.sps", "/s/b.sps"},
                  {"line 4 is not a log line", "line 6 is cut short"},
                  OutputFormat::Draft},
        // Logs of eight fields, written before host and status were logged.
        RetryCase{"EightFieldsOfOlderLogs",
                  "/s/a.sps\t\t/s/a.sps\t/s/a.txt\t2026-12-09T02:20:17+0000\t0.068\tfailed\tboom\n",
                  {"/s/a.sps"},
                  {},
                  OutputFormat::Text}),
    [](const ::testing::TestParamInfo<RetryCase>& info) { return info.param.name; });

TEST(RunLogTest, AFileThatIsNoLogIsRefused) {
    testing::TempDir dir;
    testing::NativeFileSystem files;
    try {
        JobsToRetry(dir.Write("a.sps", "DATA LIST LIST /x.\nLIST.\n"), files);
        ADD_FAILURE() << "a syntax file was read as a log";
    } catch (const std::runtime_error& failure) {
        EXPECT_THAT(failure.what(), HasSubstr("it is not a run log"));
    }
}

// Appending to a log that ends in a cut line starts on a line of its own;
// an empty log gets the header first.
TEST(RunLogTest, AppendsStartOnALineOfTheirOwn) {
    testing::TempDir dir;
    testing::NativeFileSystem files;
    const std::string empty = dir.Path("new.log");
    RunLog(empty, files, "h").Append("one\n");
    RunLog(empty, files, "h").Append("two\n");
    const std::string cut = dir.Write("cut.log", "#header\nhalf a li");
    RunLog(cut, files, "h").Append("whole\n");
    EXPECT_EQ(files.ReadWholeFile(empty), std::string(kLogHeader) + "one\ntwo\n");
    EXPECT_EQ(files.ReadWholeFile(cut), "#header\nhalf a li\nwhole\n");
}

} // namespace
} // namespace kalvero
