// The run log at its seam: what a line is written as and what is read back
// from it, and which syntax files a retry runs.
#include "batch/run_log.h"
#include "system/local_file_system.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalvero {
namespace {

using ::testing::ElementsAre;

Job LoggedJob(const std::string& entry, long line, const std::string& syntax) {
    Job job;
    job.entry = entry;
    job.line = line;
    job.syntaxFile = syntax;
    job.outputPath = syntax + ".txt";
    return job;
}

JobResult Outcome(JobOutcome outcome, const std::string& reason = {}) {
    JobResult result;
    result.outcome = outcome;
    result.reason = reason;
    return result;
}

// Any byte a file name may hold comes back as it was written.
TEST(RunLogTest, EveryNameReadsBackAsWritten) {
    const std::vector<std::string> names = {
        "/s/plain.sps",     "/s/back\\slash.sps",   "/s/tab\there.sps",
        "/s/new\nline.sps", "/s/cr\rhere.sps",      "#hash.sps",
        "/s/end\\",         "\\#not-a-comment.sps", "/s/\xE4\xF6.sps"};
    std::string log;
    for (const std::string& name : names)
        log += LogLine(LoggedJob(name, 3, name), Outcome(JobOutcome::Failed, name));
    const std::vector<LogEntry> read = ReadLogLines(log, "run.log");
    ASSERT_EQ(read.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(read[i].job.entry, names[i]);
        EXPECT_EQ(read[i].job.syntaxFile, names[i]);
        EXPECT_EQ(read[i].job.outputPath, names[i] + ".txt");
        EXPECT_EQ(read[i].job.line, 3);
        EXPECT_EQ(read[i].outcome, "failed");
    }
}

TEST(RunLogTest, StartTimesCarryTheirOffsetAsRfc3339) {
    const std::string line = LogLine(LoggedJob("a.sps", 0, "/s/a.sps"), Outcome(JobOutcome::Ok));
    EXPECT_THAT(line, ::testing::MatchesRegex(".*\t[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:"
                                              "[0-9]{2}[+-][0-9]{2}:[0-9]{2}\t.*"));
}

// The last outcome of each syntax file counts; a list file that could not
// be read is read again, unless a later line ran something of it.
TEST(RunLogTest, ARetryRunsWhatDidNotSucceedLast) {
    testing::TempDir dir;
    LocalFileSystem files;
    const std::string list = dir.Write("jobs.lst", "/s/x.sps\n");
    std::string log = "# a comment\n";
    log += LogLine(LoggedJob("/s/a.sps", 0, "/s/a.sps"), Outcome(JobOutcome::Failed));
    log += LogLine(LoggedJob("/s/b.sps", 0, "/s/b.sps"), Outcome(JobOutcome::TimedOut));
    log += LogLine(LoggedJob("/s/a.sps", 0, "/s/a.sps"), Outcome(JobOutcome::OkWithErrors));
    log += LogLine(LoggedJob(list, 0, ""), Outcome(JobOutcome::Failed));
    log += LogLine(LoggedJob("/s/c.sps", 0, "/s/c.sps"), Outcome(JobOutcome::Stopped));
    log += LogLine(LoggedJob("/s/b.sps", 0, "/s/b.sps"), Outcome(JobOutcome::Failed));
    std::vector<std::string> retried;
    for (const Job& job : JobsToRetry(dir.Write("run.log", log), files))
        retried.push_back(job.syntaxFile);
    EXPECT_THAT(retried, ElementsAre("/s/b.sps", "/s/x.sps", "/s/c.sps"));
}

} // namespace
} // namespace kalvero
