#include "batch/worker_pool.h"

#include "batch/run_stop.h"

#include <optional>
#include <stdexcept>

namespace kalvero {
namespace {

JobResult WithOutcome(JobResult result, JobOutcome outcome, const std::string& reason) {
    result.outcome = outcome;
    result.reason = reason;
    return result;
}

} // namespace

namespace {

EngineSession MadeEngine(OutputFormat format, EngineFactory& engines) {
    try {
        return OpenEngine(format, engines);
    } catch (const std::exception& failure) {
        throw EngineUnavailable(failure.what());
    }
}

} // namespace

Worker::Worker(EngineFactory& engines, OutputFormat format)
    : format_(format), session_(MadeEngine(format, engines)) {}

JobResult Worker::Run(const Job& job) {
    JobResult result;
    result.started = std::chrono::system_clock::now();
    const auto begin = std::chrono::steady_clock::now();
    try {
        ThrowIfStopRequested();
        if (!job.refusal.empty())
            throw std::runtime_error(job.refusal);
        ExecuteSyntaxFile(session_, format_, job.syntaxFile, job.outputPath);
        const SyntaxReport report = session_.application->LastSyntaxReport();
        result.outcome = report.hadErrors ? JobOutcome::OkWithErrors : JobOutcome::Ok;
        result.reason = report.firstError;
    } catch (const RunStopped& stopped) {
        result = WithOutcome(result, JobOutcome::Stopped, stopped.what());
    } catch (const EngineTimedOut& timedOut) {
        result = WithOutcome(result, JobOutcome::TimedOut, timedOut.what());
    } catch (const std::exception& failure) {
        result = WithOutcome(result, JobOutcome::Failed, failure.what());
    } catch (...) {
        result = WithOutcome(result, JobOutcome::Failed, "unknown failure");
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (!job.refusal.empty() || result.outcome == JobOutcome::Stopped)
        return result;
    result.status = session_.application->LastSyntaxReport().status;
    return result;
}

void Worker::Quit() {
    session_.application->QuitEngine();
}

WorkerPool::WorkerPool(int count, EngineFactory& engines, const Plan& plan) : plan_(plan) {
    // The first engine alone first: an engine that cannot be made is found
    // once, not by every worker at the same time.
    for (int started = 0; started < count; ++started) {
        threads_.emplace_back([this, &engines] { Serve(engines); });
        if (started > 0)
            continue;
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [&] { return made_ == 1; });
        if (failure_)
            break;
    }
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [&] { return made_ == static_cast<int>(threads_.size()); });
    if (failure_) {

        const std::exception_ptr failure = failure_;
        guard.unlock();
        Close(false);
        std::rethrow_exception(failure);
    }
}

WorkerPool::~WorkerPool() {
    try {
        Close(false);
    } catch (...) {
    }
}

void WorkerPool::Serve(EngineFactory& engines) {
    std::optional<Worker> worker;
    try {
        worker.emplace(engines, plan_.format);
    } catch (...) {
        const std::lock_guard<std::mutex> guard(lock_);
        if (!failure_)
            failure_ = std::current_exception();
    }
    std::unique_lock<std::mutex> guard(lock_);
    ++made_;
    changed_.notify_all();
    if (!worker)
        return;
    for (;;) {
        changed_.wait(guard, [&] { return closing_ || !ready_.empty(); });
        if (ready_.empty())
            break;
        const std::size_t index = ready_.front();
        ready_.pop_front();
        guard.unlock();
        JobResult result = worker->Run(plan_.jobs[index]);
        guard.lock();
        ended_.push_back(Ended{index, std::move(result)});
        changed_.notify_all();
    }
    if (!quit_)
        return;
    guard.unlock();
    try {
        worker->Quit();
    } catch (...) {
        guard.lock();
        if (!failure_)
            failure_ = std::current_exception();
    }
}

void WorkerPool::Start(std::size_t index) {
    const std::lock_guard<std::mutex> guard(lock_);
    ready_.push_back(index);
    changed_.notify_all();
}

std::vector<WorkerPool::Ended> WorkerPool::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, timeout, [&] { return !ended_.empty(); });
    std::vector<Ended> ended(std::make_move_iterator(ended_.begin()),
                             std::make_move_iterator(ended_.end()));
    ended_.clear();
    return ended;
}

void WorkerPool::Close(bool quit) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (closing_)
            return;
        closing_ = true;
        quit_ = quit;
        changed_.notify_all();
    }
    for (std::thread& thread : threads_)
        thread.join();
    threads_.clear();
    // A failure to make an engine was thrown when the pool was made.
    if (quit && failure_)
        std::rethrow_exception(failure_);
}

} // namespace kalvero
