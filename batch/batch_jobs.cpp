#include "batch/batch_jobs.h"

#include "batch/message_text.h"
#include "batch/output_guard.h"
#include "batch/run_steps.h"
#include "batch/run_stop.h"
#include "batch/syntax_list.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace kalvero {
namespace {

// A syntax file's name as the engine will read it: absolute, without a
// leading "./".
std::string Absolute(const std::string& path) {
    if (path.empty())
        return path;
    return AbsolutePath(path.rfind("./", 0) == 0 ? path.substr(2) : path);
}

// What an output path will be once written: the file it names when there is
// one, otherwise its name in its folder (so that two spellings of one folder
// meet).
std::string OutputKey(const std::string& path) {
    if (const auto file = FileIdentity(path))
        return "f" + std::to_string(file->device) + ":" + std::to_string(file->inode);
    const std::size_t slash = path.rfind('/');
    if (const auto folder = FileIdentity(slash == 0 ? "/" : path.substr(0, slash)))
        return "d" + std::to_string(folder->device) + ":" + std::to_string(folder->inode) +
               path.substr(slash);
    return "p" + path;
}

std::string SyntaxKey(const std::string& path) {
    if (const auto file = FileIdentity(path))
        return std::to_string(file->device) + ":" + std::to_string(file->inode);
    return path;
}

// One worker's engine, made when its first job needs it and again after a
// job that could not make one.
class Worker {
public:
    explicit Worker(EngineFactory& engines, OutputFormat format)
        : engines_(engines), format_(format) {}
    ~Worker() {
        if (session_)
            try {
                session_->application->QuitEngine();
            } catch (...) {
            }
    }

    JobResult Run(const BatchJob& job) {
        JobResult result;
        result.started = std::chrono::system_clock::now();
        const auto begin = std::chrono::steady_clock::now();
        try {
            if (!job.refusal.empty())
                throw std::runtime_error(job.refusal);
            ThrowIfStopRequested();
            if (!session_)
                session_.emplace(OpenEngine(format_, engines_));
            RunPosition position;
            ExecuteSyntaxFile(*session_, format_, job.syntaxFile, job.outputPath, position);
            result.outcome = session_->application->SyntaxHadErrors() ? JobOutcome::OkWithErrors
                                                                      : JobOutcome::Ok;
        } catch (const RunStopped& stopped) {
            result = Ended(result, JobOutcome::Stopped, stopped.what());
        } catch (const EngineTimedOut& timedOut) {
            result = Ended(result, JobOutcome::TimedOut, timedOut.what());
        } catch (const std::exception& failure) {
            result = Ended(result, JobOutcome::Failed, failure.what());
        } catch (...) {
            result = Ended(result, JobOutcome::Failed, "unknown failure");
        }
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        return result;
    }

private:
    static JobResult Ended(JobResult result, JobOutcome outcome, const std::string& reason) {
        result.outcome = outcome;
        result.reason = reason;
        return result;
    }

    EngineFactory& engines_;
    OutputFormat format_;
    std::optional<EngineSession> session_;
};

} // namespace

std::vector<BatchJob> ReadEntries(const std::vector<std::string>& entries, InputMode mode) {
    std::vector<BatchJob> jobs;
    for (const std::string& entry : entries) {
        if (mode == InputMode::SyntaxFiles) {
            jobs.push_back(BatchJob{entry, 0, Absolute(entry), {}, {}, -1});
            continue;
        }
        try {
            SyntaxListFile list(entry);
            for (long line = 1; !list.AtEnd(); ++line) {
                const std::string name = TrimBlanks(list.ReadLine());
                if (ClassifyLine(name) == ListLineKind::Syntax)
                    jobs.push_back(BatchJob{entry, line, Absolute(name), {}, {}, -1});
            }
        } catch (const std::exception& failure) {
            jobs.push_back(BatchJob{entry, 0, {}, {}, failure.what(), -1});
        }
    }
    return jobs;
}

void PlanOutputs(std::vector<BatchJob>& jobs, OutputFormat format,
                 const std::vector<std::string>& listFiles) {
    OutputGuard guard;
    for (const std::string& list : listFiles)
        guard.AddInput(list, "syntax list file");
    for (const BatchJob& job : jobs)
        guard.AddInput(job.syntaxFile, "syntax file");

    struct FirstWriter {
        long job;
        std::string syntax;
    };
    std::map<std::string, FirstWriter> writers; // by output key
    const std::string extension = TraitsOf(format).extension;
    for (std::size_t index = 0; index < jobs.size(); ++index) {
        BatchJob& job = jobs[index];
        if (job.syntaxFile.empty())
            continue;
        job.outputPath = OutputPathFor(job.syntaxFile, extension);
        if (!job.refusal.empty())
            continue;
        try {
            guard.Check(job.syntaxFile, job.outputPath);
        } catch (const std::exception& refused) {
            job.refusal = refused.what();
            continue;
        }
        const auto [writer, first] = writers.try_emplace(
            OutputKey(job.outputPath), FirstWriter{static_cast<long>(index), job.syntaxFile});
        if (first)
            continue;
        if (SyntaxKey(writer->second.syntax) == SyntaxKey(job.syntaxFile)) {
            job.after = writer->second.job;
            writer->second.job = static_cast<long>(index);
        } else {
            job.refusal = "The output " + ShortenName(job.outputPath) + " of " +
                          ShortenName(job.syntaxFile) +
                          " would replace the output of an earlier entry, " +
                          ShortenName(writer->second.syntax);
        }
    }
}

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

void RunJobs(const std::vector<BatchJob>& jobs, const BatchOptions& options, EngineFactory& engines,
             BatchObserver& observer) {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::size_t> ready;
    std::deque<std::pair<std::size_t, JobResult>> ended;
    bool closing = false;

    const int workerCount = std::max(1, options.workers);
    std::vector<std::thread> workers;
    for (int i = 0; i < workerCount; ++i)
        workers.emplace_back([&] {
            Worker worker(engines, options.format);
            std::unique_lock<std::mutex> guard(lock);
            for (;;) {
                changed.wait(guard, [&] { return closing || !ready.empty(); });
                if (ready.empty())
                    return;
                const std::size_t index = ready.front();
                ready.pop_front();
                guard.unlock();
                JobResult result = worker.Run(jobs[index]);
                guard.lock();
                ended.emplace_back(index, std::move(result));
                changed.notify_all();
            }
        });

    enum class State { Waiting, Running, Done };
    std::vector<State> states(jobs.size(), State::Waiting);
    std::size_t next = 0; // no job before it is waiting
    int running = 0;
    std::string haltedBy; // the failed job that ended the batch
    for (;;) {
        if (haltedBy.empty() && !StopRequested()) {
            for (std::size_t index = next; index < jobs.size() && running < workerCount; ++index) {
                if (states[index] != State::Waiting ||
                    (jobs[index].after >= 0 &&
                     states[static_cast<std::size_t>(jobs[index].after)] != State::Done))
                    continue;
                states[index] = State::Running;
                ++running;
                observer.JobStarted(index);
                const std::lock_guard<std::mutex> guard(lock);
                ready.push_back(index);
                changed.notify_all();
            }
            while (next < jobs.size() && states[next] != State::Waiting)
                ++next;
        }
        if (running == 0)
            break;
        std::unique_lock<std::mutex> guard(lock);
        if (!changed.wait_for(guard, std::chrono::seconds(1), [&] { return !ended.empty(); })) {
            guard.unlock();
            observer.StillRunning();
            continue;
        }
        auto [index, result] = std::move(ended.front());
        ended.pop_front();
        guard.unlock();
        states[index] = State::Done;
        --running;
        if (!options.keepGoing && !IsSuccess(result.outcome) && haltedBy.empty())
            haltedBy = jobs[index].syntaxFile.empty() ? jobs[index].entry : jobs[index].syntaxFile;
        observer.JobEnded(index, result);
    }
    {
        const std::lock_guard<std::mutex> guard(lock);
        closing = true;
        changed.notify_all();
    }
    for (std::thread& worker : workers)
        worker.join();

    for (std::size_t index = 0; index < jobs.size(); ++index) {
        if (states[index] != State::Waiting)
            continue;
        JobResult result;
        result.started = std::chrono::system_clock::now();
        result.notStarted = true;
        result.reason = StopRequested() ? "not started: the run was " + StopReason()
                                        : "not started: the run stopped at the failure of " +
                                              ShortenName(haltedBy);
        observer.JobEnded(index, result);
    }
}

} // namespace kalvero
