// What kalvero-run tells while a batch runs and at its end, and the run log.
//
// On a terminal that understands it, standard error shows one live line
// (cli/progress_line.h) and a line for each failure or syntax file with
// errors; elsewhere (a file, cron's mail, TERM=dumb) one plain line when each
// file starts, with the time, so that a hang shows, and one when it ends.
// The log gets every planned file before the first starts and every file as
// it ends; the files that never started in one write.
#pragma once

#include "batch/batch_plan.h"
#include "batch/batch_runner.h"
#include "batch/run_log.h"
#include "cli/progress_line.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kalvero {

class BatchReport : public RunObserver {
public:
    // width: the terminal's columns, or 0 for plain lines.
    BatchReport(const Plan& plan, RunLog* log, int width, int workers, std::FILE* out);

    void RunStarting() override;
    void JobStarted(std::size_t index) override;
    void JobEnded(std::size_t index, const JobResult& result) override;
    void JobsNotStarted(const std::vector<std::size_t>& indices, const JobResult& result) override;
    void StillRunning() override;

    // Counts per outcome, then each failure and each file with errors.
    void PrintSummary();
    // kExitOk, kExitFailed (also when the log is incomplete) or
    // kExitSyntaxErrors.
    int ExitStatus() const;

private:
    void Log(const std::string& lines);
    void Print(const std::string& text);
    void DrawLiveLine();
    std::string Counter() const;

    const Plan& plan_;
    RunLog* log_;
    int width_;
    std::FILE* out_;
    ProgressLine progress_;
    bool liveLineShown_ = false;
    std::size_t ended_ = 0;
    std::map<JobOutcome, std::size_t> counts_;
    std::vector<std::string> failures_;
    std::vector<std::string> withErrors_;
    std::size_t notStarted_ = 0;
    std::string logFailure_;
};

// A job as messages name it: its syntax file (or its entry when it names
// none), and the list line that named it.
std::string JobName(const Job& job);

} // namespace kalvero
