#include "batch/window_run.h"

#include "batch/batch_plan.h"
#include "batch/counter16.h"
#include "batch/finish_run.h"
#include "batch/run_stop.h"

#include <stdexcept>

namespace kalvero {
namespace {

void PositionAt(const Job& job, RunPosition& position) {
    position.stage = job.line > 0 ? RunPosition::Stage::ListLine : RunPosition::Stage::Entry;
    position.entryNumber = static_cast<int>(job.entryIndex) + 1;
    position.entry = job.entry;
    position.lineNumber = job.line;
    position.syntaxFile = job.syntaxFile;
}

class WindowRunObserver : public RunObserver {
public:
    WindowRunObserver(const Plan& plan, const RunSettings& settings, RunProgress& progress,
                      const RunServices& services, RunPosition& position)
        : plan_(plan), settings_(settings), progress_(progress), services_(services),
          position_(position) {}

    void RunStarting() override {
        if (settings_.inputMode == InputMode::SyntaxFiles) {
            const std::int16_t count = Count16(settings_.entries.size(), "entries in the list");
            progress_.SetProgressRange(0.0f, static_cast<float>(count));
            progress_.SetProgressValue(1.0f);
            progress_.ShowProgress();
        } else {
            progress_.ShowProgress();
            progress_.HideProgressBar();
        }
        progress_.MinimiseMainWindow();
    }

    void JobStarted(std::size_t index) override { PositionAt(plan_.jobs[index], position_); }

    void JobEnded(std::size_t index, const JobResult& result) override {
        if (!IsSuccess(result.outcome))
            return;
        ++position_.executed;
        if (settings_.inputMode == InputMode::SyntaxFiles) {
            const std::int16_t done =
                Count16(plan_.jobs[index].entryIndex + 1, "entries in the list");
            progress_.SetProgressValue(static_cast<float>(done));
        }
    }

    void Closing() override {
        position_.stage = RunPosition::Stage::Closing;
        position_.syntaxFile.clear();
    }

    void RunCompleted() override { FinishRun(settings_, progress_, services_); }

private:
    const Plan& plan_;
    const RunSettings& settings_;
    RunProgress& progress_;
    const RunServices& services_;
    RunPosition& position_;
};

void RunPlanned(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                RunPosition& position) {
    position = RunPosition();
    PlanRules rules;
    rules.limits16 = true;
    const Plan plan = MakePlan(settings.entries, settings.inputMode, settings.outputFormat, rules,
                               services.files);
    WindowRunObserver observer(plan, settings, progress, services, position);
    RunOptions options;
    options.callingThread = true;
    const RunSummary summary = RunJobs(plan, options, services.engines, observer);
    if (!summary.halted)
        return;
    PositionAt(plan.jobs[summary.haltedAt], position);
    if (summary.outcome == JobOutcome::Stopped)
        throw RunStopped(summary.reason);
    throw std::runtime_error(summary.reason);
}

} // namespace

void RunSyntaxFiles(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position) {
    RunPlanned(settings, progress, services, position);
}

void RunSyntaxLists(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position) {
    RunPlanned(settings, progress, services, position);
}

} // namespace kalvero
