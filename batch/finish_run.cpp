#include "batch/finish_run.h"

namespace kalvero {

const char* const kCompletionMessage = "The Syntaxes have been executed ";

void ShutDownComputer(ShutDownService& shutDown) {
    // One plain power-off request; its outcome is deliberately ignored.
    try {
        (void)shutDown.RequestShutDown();
    } catch (...) {
    }
}

void FinishRun(const RunSettings& settings, RunProgress& progress, const RunServices& services) {
    // A failing step is passed over and the next one follows.
    try {
        progress.CloseProgress();
    } catch (...) {
    }
    if (settings.shutDownAfterRun) {
        ShutDownComputer(services.shutDown);
    } else {
        try {
            services.messages.ShowMessage(kCompletionMessage);
        } catch (...) {
        }
    }
}

} // namespace kalvero
