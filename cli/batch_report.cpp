#include "cli/batch_report.h"

#include "batch/message_text.h"
#include "cli/options.h"

#include <chrono>

namespace kalvero {

std::string JobName(const Job& job) {
    std::string name = ShownJobName(job);
    if (job.line > 0)
        name += " (line " + std::to_string(job.line) + " of " + ShortenName(job.entry) + ")";
    return name;
}

BatchReport::BatchReport(const Plan& plan, RunLog* log, int width, int workers, std::FILE* out)
    : plan_(plan), log_(log), width_(width), out_(out), progress_(plan.jobs.size(), workers) {}

void BatchReport::RunStarting() {
    if (!log_)
        return;
    const auto now = std::chrono::system_clock::now();
    std::string lines;
    for (const Job& job : plan_.jobs)
        lines += PlannedLine(job, now, log_->Host());
    Log(lines);
}

void BatchReport::JobStarted(std::size_t index) {
    progress_.Started(index, ShownJobName(plan_.jobs[index]), ProgressLine::Clock::now());
    if (width_ == 0)
        Print("[" + std::to_string(ended_ + 1) + "/" + std::to_string(plan_.jobs.size()) +
              "] start " + Rfc3339(std::chrono::system_clock::now()) + " " +
              JobName(plan_.jobs[index]));
    else
        DrawLiveLine();
}

void BatchReport::JobEnded(std::size_t index, const JobResult& result) {
    ++ended_;
    ++counts_[result.outcome];
    const Job& job = plan_.jobs[index];
    progress_.Ended(index, !IsSuccess(result.outcome), result.seconds);
    if (log_)
        Log(LogLine(job, result, log_->Host()));
    std::string line = std::string(OutcomeName(result.outcome)) + " " + JobName(job);
    if (!result.reason.empty())
        line += ": " + ShortenMiddle(result.reason, kShownReasonLength);
    if (!IsSuccess(result.outcome))
        failures_.push_back(line);
    else if (result.outcome == JobOutcome::OkWithErrors)
        withErrors_.push_back(line);
    if (width_ == 0 || result.outcome != JobOutcome::Ok)
        Print(Counter() + line);
}

void BatchReport::JobsNotStarted(const std::vector<std::size_t>& indices, const JobResult& result) {
    std::string lines;
    for (const std::size_t index : indices) {
        ++ended_;
        ++counts_[result.outcome];
        if (log_)
            lines += LogLine(plan_.jobs[index], result, log_->Host());
    }
    notStarted_ += indices.size();
    if (log_ && !lines.empty())
        Log(lines);
}

void BatchReport::StillRunning() {
    if (width_ > 0)
        DrawLiveLine();
}

void BatchReport::Log(const std::string& lines) {
    if (!logFailure_.empty())
        return;
    try {
        log_->Append(lines);
    } catch (const std::exception& failure) {
        logFailure_ = failure.what();
        Print(std::string("kalvero-run: ") + failure.what());
    }
}

std::string BatchReport::Counter() const {
    return "[" + std::to_string(ended_) + "/" + std::to_string(plan_.jobs.size()) + "] ";
}

void BatchReport::Print(const std::string& text) {
    if (liveLineShown_)
        std::fputs("\r\033[K", out_);
    liveLineShown_ = false;
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void BatchReport::DrawLiveLine() {
    std::fprintf(out_, "\r%s\033[K", progress_.Text(ProgressLine::Clock::now(), width_).c_str());
    std::fflush(out_);
    liveLineShown_ = true;
}

void BatchReport::PrintSummary() {
    std::string counts = std::to_string(plan_.jobs.size()) +
                         (plan_.jobs.size() == 1 ? " syntax file: " : " syntax files: ");
    const JobOutcome order[] = {JobOutcome::Ok, JobOutcome::OkWithErrors, JobOutcome::Failed,
                                JobOutcome::TimedOut, JobOutcome::Stopped};
    for (const JobOutcome outcome : order) {
        if (outcome != JobOutcome::Ok)
            counts += ", ";
        counts += std::to_string(counts_[outcome]) + " " + OutcomeName(outcome);
    }
    Print(counts);
    for (const std::string& failure : failures_)
        Print("  " + failure);
    if (notStarted_ > 0)
        Print("  " + std::to_string(notStarted_) + " not started");
    for (const std::string& line : withErrors_)
        Print("  " + line);
    if (!logFailure_.empty())
        Print("  the run log is incomplete: " + logFailure_);
}

int BatchReport::ExitStatus() const {
    if (!failures_.empty() || notStarted_ > 0 || !logFailure_.empty())
        return kExitFailed;
    return withErrors_.empty() ? kExitOk : kExitSyntaxErrors;
}

} // namespace kalvero
