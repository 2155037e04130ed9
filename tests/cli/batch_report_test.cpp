// What kalvero-run shows while a batch runs: the live line on a terminal
// (never wider than the terminal, every running file, a time left that
// counts what the running files have run) and plain lines elsewhere.
#include "cli/batch_report.h"
#include "cli/progress_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kalvero {
namespace {

using ::testing::AllOf;
using ::testing::ContainsRegex;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using namespace std::chrono_literals;

struct CutCase {
    const char* text;
    int columns;
    const char* expected;
};

TEST(ProgressLineTest, CutsToColumnsNeverInsideACharacter) {
    const CutCase cases[] = {
        {"abcdef", 3, "abc"},
        {"abc", 3, "abc"},
        {"Grüße aus Köln", 4, "Grüß"},
        {"日本語のファイル", 2, "日本"},
        {"x", 0, ""},
    };
    for (const CutCase& row : cases)
        EXPECT_EQ(CutToColumns(row.text, row.columns), row.expected) << row.text;
}

TEST(ProgressLineTest, TimeLeftCountsWhatTheRunningFilesHaveRun) {
    const auto start = ProgressLine::Clock::time_point{};
    ProgressLine line(6, 1);
    for (std::size_t i = 0; i < 3; ++i) {
        line.Started(i, "f.sps", start);
        line.Ended(i, false, 10.0);
    }
    line.Started(3, "/data/long.sps", start);
    // Two waiting at 10 s each, and 2 s still to go of the running one.
    EXPECT_DOUBLE_EQ(line.SecondsLeft(start + 8s), 22.0);
    EXPECT_THAT(line.Text(start + 8s, 80), HasSubstr("about 22 s left, running long.sps"));
}

// The lines a terminal shows for text: a carriage return goes back to the
// start of the line, "\033[K" clears the line from there.
std::vector<std::string> Screen(const std::string& text) {
    std::vector<std::string> lines{""};
    std::size_t column = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string& line = lines.back();
        if (text[i] == '\n') {
            lines.emplace_back();
            column = 0;
        } else if (text[i] == '\r') {
            column = 0;
        } else if (text.compare(i, 3, "\033[K") == 0) {
            line.resize(column);
            i += 2;
        } else {
            line.resize(std::max(line.size(), column + 1));
            line[column++] = text[i];
        }
    }
    return lines;
}

// A report on a batch of files as kalvero-run makes it, read back from what
// it wrote to standard error.
class BatchReportTest : public ::testing::Test {
protected:
    BatchReportTest() {
        for (const char* name : {"/d/erste-grüße.sps", "/d/zweite.sps", "/d/dritte.sps"}) {
            Job job;
            job.entry = job.syntaxFile = name;
            job.outputPath = std::string(name) + ".txt";
            plan_.jobs.push_back(job);
        }
    }

    // What a report for a terminal of width columns (0: none) writes while
    // two files run at once, then a third.
    std::string Reported(int width) {
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), &std::fclose);
        BatchReport report(plan_, nullptr, width, 2, out.get());
        RunTwoAtOnce(report);
        std::rewind(out.get());
        std::string text;
        for (int c; (c = std::fgetc(out.get())) != EOF;)
            text += static_cast<char>(c);
        return text;
    }

    void RunTwoAtOnce(BatchReport& report) {
        report.RunStarting();
        report.JobStarted(0);
        report.JobStarted(1);
        report.StillRunning();
        JobResult ok;
        ok.outcome = JobOutcome::Ok;
        report.JobEnded(0, ok);
        report.JobStarted(2);
        JobResult failed;
        failed.outcome = JobOutcome::Failed;
        failed.reason = "exit 2";
        report.JobEnded(1, failed);
        report.JobEnded(2, ok);
        report.StillRunning();
    }

    Plan plan_;
};

TEST_F(BatchReportTest, LiveLineNeverWrapsAndNamesEveryRunningFile) {
    EXPECT_THAT(Reported(200), HasSubstr("running erste-grüße.sps zweite.sps"));

    const std::string written = Reported(16);
    // Each drawing of the live line goes from a carriage return to the
    // clearing of the rest of the line.
    for (std::size_t at = written.find('\r'); at != std::string::npos;
         at = written.find('\r', at + 1)) {
        const std::string drawn = written.substr(at + 1, written.find("\033[K", at) - at - 1);
        EXPECT_EQ(CutToColumns(drawn, 15), drawn) << drawn;
    }
    // A failure stays on the screen as a line of its own, and no copy of
    // the live line stays behind it.
    EXPECT_THAT(Screen(written),
                ElementsAre("[2/3] failed /d/zweite.sps: exit 2", StartsWith("[3/3] 1 failed")));
}

TEST_F(BatchReportTest, WithoutATerminalEachStartIsAPlainLineWithItsTime) {
    const std::string written = Reported(0);
    EXPECT_THAT(written, AllOf(Not(HasSubstr("\033")), Not(HasSubstr("\r"))));
    EXPECT_THAT(written, ContainsRegex("\\[1/3\\] start [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}"
                                       "[+-][0-9]{2}:[0-9]{2} /d/erste-grüße.sps\n"));
    EXPECT_THAT(written, HasSubstr("[3/3] ok /d/dritte.sps\n"));
}

} // namespace
} // namespace kalvero
