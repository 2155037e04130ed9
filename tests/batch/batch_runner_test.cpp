// The runner at its seam: a plan in, the observer's reports and the engine's
// calls out, with one worker on the calling thread and with several on
// threads of their own.
#include "batch/batch_runner.h"
#include "batch/run_stop.h"
#include "tests/support/fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

namespace kalvero {
namespace {

using ::testing::ElementsAre;

Plan PlanOf(const std::vector<std::string>& names) {
    Plan plan;
    plan.format = OutputFormat::Text;
    for (const std::string& name : names) {
        Job job;
        job.entryIndex = plan.jobs.size();
        job.entry = job.syntaxFile = name;
        job.outputPath = name + ".txt";
        if (name.rfind("refused", 0) == 0)
            job.refusal = "refused by the plan";
        plan.jobs.push_back(job);
    }
    return plan;
}

// What the observer was told, one line per report, in order.
class Reports : public RunObserver {
public:
    explicit Reports(const Plan& plan) : plan_(plan) {}
    void JobEnded(std::size_t index, const JobResult& result) override {
        lines.push_back(plan_.jobs[index].syntaxFile + " " + OutcomeName(result.outcome) +
                        (result.notStarted ? " (not started)" : ""));
    }
    void Closing() override { lines.push_back("Closing"); }
    void RunCompleted() override { lines.push_back("RunCompleted"); }
    std::vector<std::string> lines;

private:
    const Plan& plan_;
};

struct RunnerCase {
    const char* name;
    std::vector<std::string> jobs; // "bad..." fails in the engine, "refused..." in the plan
    bool keepGoing;
    std::vector<std::string> reports;
};

void PrintTo(const RunnerCase& row, std::ostream* out) {
    *out << row.name;
}

class RunnerTest : public ::testing::TestWithParam<std::tuple<RunnerCase, bool>> {};

TEST_P(RunnerTest, ReportsEveryJobAndQuitsOnlyAfterAll) {
    const auto& [row, callingThread] = GetParam();
    testing::RecordingFactory engines;
    engines.script.onRun = [](int, const std::string& name) {
        if (name.rfind("bad", 0) == 0)
            throw EngineError("Cannot run " + name);
    };
    const Plan plan = PlanOf(row.jobs);
    Reports reports(plan);
    RunOptions options;
    options.keepGoing = row.keepGoing;
    options.callingThread = callingThread;
    const RunSummary summary = RunJobs(plan, options, engines, reports);
    EXPECT_EQ(reports.lines, row.reports);
    const bool completed = row.reports.back() == "RunCompleted";
    EXPECT_EQ(summary.halted, !completed && !row.keepGoing);
    EXPECT_EQ(engines.quits, completed ? 1 : 0);
    EXPECT_EQ(engines.created, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunnerTest,
    ::testing::Combine(
        ::testing::Values(
            RunnerCase{"AllOk", {"a", "b"}, false, {"a ok", "b ok", "Closing", "RunCompleted"}},
            RunnerCase{"StopsAtTheFirstFailure",
                       {"a", "bad", "c"},
                       false,
                       {"a ok", "bad failed", "c stopped (not started)"}},
            RunnerCase{"ARefusalIsRaisedAtItsTurn",
                       {"a", "refused", "c"},
                       false,
                       {"a ok", "refused failed", "c stopped (not started)"}},
            RunnerCase{"KeepGoingRunsEveryJob",
                       {"bad", "refused", "c"},
                       true,
                       {"bad failed", "refused failed", "c ok", "Closing", "RunCompleted"}},
            RunnerCase{
                "NoJobsStillMakesAndQuitsTheEngine", {}, false, {"Closing", "RunCompleted"}}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<RunnerCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_CallingThread" : "_Threads");
    });

// A syntax file named twice writes one output: with two workers its second
// run waits for the first, while another file may run beside it.
TEST(RunnerThreadsTest, TheSameSyntaxFileTwiceNeverRunsTwiceAtOnce) {
    Plan plan = PlanOf({"a", "a", "b"});
    plan.jobs[1].after = 0;
    testing::RecordingFactory engines;
    std::mutex lock;
    std::condition_variable changed;
    std::multiset<std::string> running;
    std::vector<std::string> overlaps;
    int started = 0;
    engines.script.onRun = [&](int, const std::string& name) {
        std::unique_lock<std::mutex> guard(lock);
        if (running.count(name) > 0)
            overlaps.push_back(name);
        running.insert(name);
        ++started;
        changed.notify_all();
        // The first run of a holds on until another run has started beside it.
        if (started == 1)
            changed.wait_for(guard, std::chrono::seconds(10), [&] { return started > 1; });
        running.erase(running.find(name));
    };
    Reports reports(plan);
    RunOptions options;
    options.workers = 2;
    RunJobs(plan, options, engines, reports);
    EXPECT_THAT(overlaps, ::testing::IsEmpty());
    EXPECT_THAT(engines.ran, ::testing::UnorderedElementsAre("a", "b", "a"));
}

// An engine that cannot be made, or that fails to quit, is one failure of
// the batch: thrown once, with no report of any job.
TEST(RunnerFailureTest, EngineCreationAndQuitFailuresEndTheBatch) {
    for (const bool callingThread : {true, false}) {
        const Plan plan = PlanOf({"a", "b"});
        testing::RecordingFactory unstartable;
        unstartable.script.failCreate = true;
        Reports none(plan);
        RunOptions options;
        options.callingThread = callingThread;
        EXPECT_THROW(RunJobs(plan, options, unstartable, none), EngineError);
        EXPECT_THAT(none.lines, ::testing::IsEmpty());

        testing::RecordingFactory stubborn;
        stubborn.script.failQuit = true;
        Reports reports(plan);
        EXPECT_THROW(RunJobs(plan, options, stubborn, reports), EngineError);
        EXPECT_THAT(reports.lines, ElementsAre("a ok", "b ok", "Closing"));
    }
}

// After a requested stop no job starts; the ones that did not are reported.
TEST(RunnerFailureTest, AStopLeavesTheRestNotStarted) {
    const Plan plan = PlanOf({"a", "b", "c"});
    testing::RecordingFactory engines;
    engines.script.onRun = [](int call, const std::string&) {
        if (call == 1)
            RequestStop(kStoppedByUser);
    };
    Reports reports(plan);
    RunOptions options;
    options.callingThread = true;
    const RunSummary summary = RunJobs(plan, options, engines, reports);
    ClearStop();
    EXPECT_THAT(reports.lines,
                ElementsAre("a ok", "b stopped (not started)", "c stopped (not started)"));
    EXPECT_TRUE(summary.halted);
    EXPECT_EQ(summary.haltedAt, 1u);
    EXPECT_EQ(summary.reason, "The run was stopped by the user");
}

} // namespace
} // namespace kalvero
