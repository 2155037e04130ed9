// A batch without windows: one job per syntax file, planned before any runs
// (lists read, outputs named and checked), then run by one or more workers,
// each with an engine of its own. Unlike the windows' run, a failing job need
// not end the batch, and every job's outcome is reported as it ends.
#pragma once

#include "batch/run_settings.h"
#include "batch/statistics_engine.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace kalvero {

struct BatchJob {
    std::string entry;      // the entry that named it, as given
    long line = 0;          // its line in that list file; 0 when not from a list
    std::string syntaxFile; // absolute; empty when the list could not be read
    std::string outputPath; // absolute
    std::string refusal;    // why it must not run, or empty
    long after = -1;        // an earlier job with the same output, which ends first
};

// The syntax files that entries name, in order. A syntax file is made
// absolute against the current folder, as the engine would read it. A list
// file that cannot be read gives one job that names no syntax file and is
// refused with the reason.
std::vector<BatchJob> ReadEntries(const std::vector<std::string>& entries, InputMode mode);

// Names every job's output and refuses, before anything runs, an output that
// would replace a syntax file or list file of the batch (listFiles), or the
// output of an earlier job for another syntax file: the earlier entry wins,
// whatever the timing. A syntax file named twice rewrites its output, the
// second time after the first has ended.
void PlanOutputs(std::vector<BatchJob>& jobs, OutputFormat format,
                 const std::vector<std::string>& listFiles);

enum class JobOutcome { Ok, OkWithErrors, Failed, TimedOut, Stopped };

// "ok", "ok-with-errors", "failed", "timed-out", "stopped".
const char* OutcomeName(JobOutcome outcome);
bool IsSuccess(JobOutcome outcome);

struct JobResult {
    JobOutcome outcome = JobOutcome::Stopped;
    std::string reason;
    std::chrono::system_clock::time_point started;
    double seconds = 0;
    bool notStarted = false; // the batch ended before its turn
};

struct BatchOptions {
    OutputFormat format = OutputFormat::Viewer;
    int workers = 1;
    bool keepGoing = false;
};

// What RunJobs reports, always on the thread that called it.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    virtual void JobStarted(std::size_t index) = 0;
    virtual void JobEnded(std::size_t index, const JobResult& result) = 0;
    // Called about once a second while jobs run.
    virtual void StillRunning() {}
};

// Runs the jobs, up to options.workers at once, starting them in order.
// Without keepGoing no job starts after one has failed; the jobs running
// then still end. A requested stop (batch/run_stop.h) ends the running jobs.
// Jobs that never started end as stopped, saying why.
void RunJobs(const std::vector<BatchJob>& jobs, const BatchOptions& options, EngineFactory& engines,
             BatchObserver& observer);

} // namespace kalvero
