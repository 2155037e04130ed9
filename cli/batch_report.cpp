#include "cli/batch_report.h"

namespace kalvero {
namespace {

std::string NameOf(const Job& job) {
    return job.syntaxFile.empty() ? job.entry : job.syntaxFile;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Duration(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    if (whole < 60)
        return std::to_string(whole) + " s";
    if (whole < 3600)
        return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
    return std::to_string(whole / 3600) + " h " + std::to_string(whole % 3600 / 60) + " min";
}

} // namespace

BatchReport::BatchReport(const std::vector<Job>& jobs, RunLog* log, bool terminal, std::FILE* out)
    : jobs_(jobs), log_(log), terminal_(terminal), out_(out) {}

void BatchReport::JobStarted(std::size_t index) {
    running_.insert(index);
    DrawLiveLine();
}

void BatchReport::JobEnded(std::size_t index, const JobResult& result) {
    running_.erase(index);
    ++ended_;
    ++counts_[result.outcome];
    const Job& job = jobs_[index];
    if (log_ != nullptr && logFailure_.empty()) {
        try {
            log_->Append(LogLine(job, result));
        } catch (const std::exception& failure) {
            logFailure_ = failure.what();
            Print(std::string("kalvero-run: ") + failure.what());
        }
    }
    const std::string counter =
        "[" + std::to_string(ended_) + "/" + std::to_string(jobs_.size()) + "] ";
    if (result.notStarted) {
        ++notStarted_;
    } else if (IsSuccess(result.outcome)) {
        if (!terminal_)
            Print(counter + OutcomeName(result.outcome) + " " + NameOf(job));
    } else {
        const std::string failure =
            std::string(OutcomeName(result.outcome)) + " " + NameOf(job) + ": " + result.reason;
        failures_.push_back(failure);
        Print(counter + failure);
    }
    DrawLiveLine();
}

void BatchReport::StillRunning() {
    DrawLiveLine();
}

void BatchReport::Print(const std::string& text) {
    if (liveLineShown_)
        std::fputs("\r\033[K", out_);
    liveLineShown_ = false;
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void BatchReport::DrawLiveLine() {
    if (!terminal_)
        return;
    const std::size_t failed = ended_ - counts_[JobOutcome::Ok] - counts_[JobOutcome::OkWithErrors];
    std::string line = "[" + std::to_string(ended_) + "/" + std::to_string(jobs_.size()) + "] " +
                       std::to_string(failed) + " failed";
    if (!running_.empty())
        line += ", running " + BaseName(NameOf(jobs_[*running_.begin()]));
    // The estimate waits for a few files, so that the first slow start does
    // not set it.
    if (ended_ >= 3 && ended_ < jobs_.size()) {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin_).count();
        line += ", about " +
                Duration(elapsed / static_cast<double>(ended_) *
                         static_cast<double>(jobs_.size() - ended_)) +
                " left";
    }
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    std::fflush(out_);
    liveLineShown_ = true;
}

void BatchReport::PrintSummary() {
    std::string counts =
        std::to_string(jobs_.size()) + (jobs_.size() == 1 ? " syntax file: " : " syntax files: ");
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
    if (!logFailure_.empty())
        Print("  the run log is incomplete: " + logFailure_);
}

bool BatchReport::AllSucceeded() const {
    for (const auto& [outcome, count] : counts_)
        if (count > 0 && !IsSuccess(outcome))
            return false;
    return logFailure_.empty();
}

} // namespace kalvero
