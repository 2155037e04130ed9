// The workers of a batch. A Worker drives one engine, made when the worker
// is, and turns each job's run into its result: a job's failure, of any
// kind, is caught here and nowhere else. A WorkerPool keeps workers on
// threads of their own, each engine made, used and quit on its thread.
#pragma once

#include "batch/batch_runner.h"
#include "batch/engine_session.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kalvero {

class Worker {
public:
    // Makes the engine; throws EngineUnavailable when it cannot.
    Worker(EngineFactory& engines, OutputFormat format);
    JobResult Run(const Job& job);
    // Tells the engine to quit; throws when it fails to.
    void Quit();

private:
    OutputFormat format_;
    EngineSession session_;
};

class WorkerPool {
public:
    // Starts count workers and waits until each has made its engine; throws
    // the first failure to make one, after every thread has ended.
    WorkerPool(int count, EngineFactory& engines, const Plan& plan);
    // Ends the workers (their running jobs first) without quitting engines.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Hands job index to the next free worker.
    void Start(std::size_t index);

    struct Ended {
        std::size_t index;
        JobResult result;
    };
    // The jobs that ended since the last call, waiting up to timeout for one.
    std::vector<Ended> Wait(std::chrono::milliseconds timeout);

    // Ends the workers once their jobs have run; with quit, each tells its
    // engine to quit first, and the first failure to quit is thrown.
    // Closing twice does nothing.
    void Close(bool quit);

private:
    void Serve(EngineFactory& engines);

    const Plan& plan_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::size_t> ready_;
    std::deque<Ended> ended_;
    int made_ = 0; // workers that have made their engine, or failed to
    bool closing_ = false;
    bool quit_ = false;
    std::exception_ptr failure_;
    std::vector<std::thread> threads_;
};

} // namespace kalvero
