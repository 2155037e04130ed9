// The runner of a planned batch (batch/batch_plan.h). Each worker drives an
// engine of its own, created when the run starts (so that an engine that
// cannot be made is one failure of the batch, not one per file); jobs start
// in plan order, a job that must wait for an earlier one with the same
// output waits. A job's failure is caught in one place and becomes its
// result; without keepGoing no job starts after a failure, and after a
// requested stop (batch/run_stop.h) none starts at all; the jobs running
// then still end. When every job has run, the engines are told to quit.
//
// The windows run the plan with one worker on their own thread, stopping at
// the first failure; kalvero-run with its own options. Each reports through
// a RunObserver of its own.
#pragma once

#include "batch/batch_plan.h"
#include "batch/statistics_engine.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace kalvero {

enum class JobOutcome { Ok, OkWithErrors, Failed, TimedOut, Stopped };

// "ok", "ok-with-errors", "failed", "timed-out", "stopped".
const char* OutcomeName(JobOutcome outcome);
bool IsSuccess(JobOutcome outcome);

struct JobResult {
    JobOutcome outcome = JobOutcome::Stopped;
    std::string reason; // why it failed; with errors inside the syntax file, the first
    std::string status; // how the engine's run of it ended ("exit 1"), when it tells
    std::chrono::system_clock::time_point started;
    double seconds = 0;
    bool notStarted = false; // the batch ended before its turn
};

struct RunOptions {
    int workers = 1;            // jobs at once, each on an engine of its own
    bool keepGoing = false;     // a failed job does not end the batch
    bool callingThread = false; // one worker, on the calling thread (the windows' own)
};

// What the runner reports, always on the thread that called RunJobs. Any of
// these may throw: that is a failure of the whole run, which RunJobs passes
// on after the running jobs have ended.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // Before the engines are made.
    virtual void RunStarting() {}
    virtual void JobStarted(std::size_t index) { (void)index; }
    virtual void JobEnded(std::size_t index, const JobResult& result) = 0;
    // The jobs that never started, all with the same result, once at the
    // end; one JobEnded each unless an observer takes them at once.
    virtual void JobsNotStarted(const std::vector<std::size_t>& indices, const JobResult& result) {
        for (const std::size_t index : indices)
            JobEnded(index, result);
    }
    // About once a second while jobs run on other threads.
    virtual void StillRunning() {}
    // Every job has run; the engines are told to quit next.
    virtual void Closing() {}
    // The engines have quit. An engine on the calling thread is released
    // after this returns.
    virtual void RunCompleted() {}
};

// An engine that cannot be made: the batch cannot run at all.
class EngineUnavailable : public EngineError {
public:
    using EngineError::EngineError;
};

struct RunSummary {
    bool halted = false;                 // the batch ended before all its jobs had run
    std::size_t haltedAt = 0;            // the job that failed, or the first that did not start
    JobOutcome outcome = JobOutcome::Ok; // that job's outcome (Stopped after a stop)
    std::string reason;                  // and why
};

// Runs plan's jobs. Throws EngineUnavailable when an engine cannot be made,
// and what fails when an engine fails to quit or the observer fails; every
// thread it started has ended by then.
RunSummary RunJobs(const Plan& plan, const RunOptions& options, EngineFactory& engines,
                   RunObserver& observer);

} // namespace kalvero
