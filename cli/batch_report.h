// What kalvero-run tells while a batch runs and at its end. On a terminal,
// standard error shows one live line (done/total, failures so far, the file
// running, the time left once a few files have ended) and a line for each
// failure; elsewhere one plain line per ended file. Each ended file also goes
// to the run log, when there is one.
#pragma once

#include "batch/batch_runner.h"
#include "batch/run_log.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kalvero {

class BatchReport : public RunObserver {
public:
    BatchReport(const std::vector<Job>& jobs, RunLog* log, bool terminal, std::FILE* out);

    void JobStarted(std::size_t index) override;
    void JobEnded(std::size_t index, const JobResult& result) override;
    void StillRunning() override;

    // Counts per outcome and each failure with its reason.
    void PrintSummary();
    // Whether every job succeeded and every log line was written.
    bool AllSucceeded() const;

private:
    void Print(const std::string& text);
    void DrawLiveLine();

    const std::vector<Job>& jobs_;
    RunLog* log_;
    bool terminal_;
    std::FILE* out_;
    bool liveLineShown_ = false;
    std::chrono::steady_clock::time_point begin_ = std::chrono::steady_clock::now();
    std::set<std::size_t> running_;
    std::size_t ended_ = 0;
    std::map<JobOutcome, std::size_t> counts_;
    std::vector<std::string> failures_;
    std::size_t notStarted_ = 0;
    std::string logFailure_;
};

} // namespace kalvero
