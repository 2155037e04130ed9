#include "batch/batch_runner.h"

#include "batch/job_schedule.h"
#include "batch/run_stop.h"
#include "batch/worker_pool.h"

namespace kalvero {
namespace {

// Whether the batch goes on, and if not, where and why it ended.
class Progress {
public:
    Progress(const Plan& plan, const RunOptions& options) : plan_(plan), options_(options) {}

    bool Halted() const { return summary_.halted; }
    bool MayStart() const { return !summary_.halted && !StopRequested(); }

    void Ended(std::size_t index, const JobResult& result) {
        if (summary_.halted || IsSuccess(result.outcome))
            return;
        if (options_.keepGoing && result.outcome != JobOutcome::Stopped)
            return;
        summary_.halted = true;
        summary_.haltedAt = index;
        summary_.outcome = result.outcome;
        summary_.reason = result.reason;
    }

    // Reports the jobs that never started, and why; ends the summary.
    RunSummary Finish(const JobSchedule& schedule, RunObserver& observer) {
        const std::vector<std::size_t> waiting = schedule.NeverStarted();
        if (waiting.empty())
            return summary_;
        const bool stopped = !summary_.halted;
        if (stopped) {
            summary_.halted = true;
            summary_.haltedAt = waiting.front();
            summary_.outcome = JobOutcome::Stopped;
            summary_.reason = "The run was " + StopReason();
        }
        JobResult result;
        result.started = std::chrono::system_clock::now();
        result.notStarted = true;
        result.reason = stopped ? "not started: the run was " + StopReason()
                                : "not started: the run stopped at the failure of " +
                                      ShownJobName(plan_.jobs[summary_.haltedAt]);
        observer.JobsNotStarted(waiting, result);
        return summary_;
    }

private:
    const Plan& plan_;
    const RunOptions& options_;
    RunSummary summary_;
};

RunSummary RunHere(const Plan& plan, const RunOptions& options, EngineFactory& engines,
                   RunObserver& observer) {
    JobSchedule schedule(plan.jobs);
    Progress progress(plan, options);
    Worker worker(engines, plan.format);
    while (progress.MayStart()) {
        const std::optional<std::size_t> index = schedule.Next();
        if (!index)
            break;
        observer.JobStarted(*index);
        const JobResult result = worker.Run(plan.jobs[*index]);
        schedule.Ended(*index);
        progress.Ended(*index, result);
        observer.JobEnded(*index, result);
    }
    if (!progress.Halted() && schedule.NeverStarted().empty()) {
        observer.Closing();
        worker.Quit();
        observer.RunCompleted();
    }
    return progress.Finish(schedule, observer);
}

RunSummary RunOnThreads(const Plan& plan, const RunOptions& options, EngineFactory& engines,
                        RunObserver& observer) {
    JobSchedule schedule(plan.jobs);
    Progress progress(plan, options);
    const int workers = static_cast<int>(
        std::max<std::size_t>(1, std::min<std::size_t>(options.workers, plan.jobs.size())));
    WorkerPool pool(workers, engines, plan);
    int running = 0;
    for (;;) {
        while (progress.MayStart() && running < workers) {
            const std::optional<std::size_t> index = schedule.Next();
            if (!index)
                break;
            observer.JobStarted(*index);
            pool.Start(*index);
            ++running;
        }
        if (running == 0)
            break;
        const std::vector<WorkerPool::Ended> ended = pool.Wait(std::chrono::seconds(1));
        if (ended.empty())
            observer.StillRunning();
        for (const WorkerPool::Ended& job : ended) {
            --running;
            schedule.Ended(job.index);
            progress.Ended(job.index, job.result);
            observer.JobEnded(job.index, job.result);
        }
    }
    if (!progress.Halted() && schedule.NeverStarted().empty()) {
        observer.Closing();
        pool.Close(/*quit=*/true);
        observer.RunCompleted();
    }
    pool.Close(/*quit=*/false);
    return progress.Finish(schedule, observer);
}

} // namespace

const char* OutcomeName(JobOutcome outcome) {
    switch (outcome) {
    case JobOutcome::Ok:
        return "ok";
    case JobOutcome::OkWithErrors:
        return "ok-with-errors";
    case JobOutcome::Failed:
        return "failed";
    case JobOutcome::TimedOut:
        return "timed-out";
    case JobOutcome::Stopped:
        return "stopped";
    }
    return "failed";
}

bool IsSuccess(JobOutcome outcome) {
    return outcome == JobOutcome::Ok || outcome == JobOutcome::OkWithErrors;
}

RunSummary RunJobs(const Plan& plan, const RunOptions& options, EngineFactory& engines,
                   RunObserver& observer) {
    observer.RunStarting();
    if (options.callingThread)
        return RunHere(plan, options, engines, observer);
    return RunOnThreads(plan, options, engines, observer);
}

} // namespace kalvero
