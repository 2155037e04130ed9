#include "batch/run_command.h"
#include "batch/statistics_engine.h"

namespace kalvero {

const char* const kCompletionMessage = "The Syntaxes have been executed ";

void ShutDownComputer(ShutDownService& shutDown) {
    // One plain power-off request; its outcome is deliberately ignored.
    try {
        (void)shutDown.RequestShutDown();
    } catch (...) {
    }
}

void FinishRun(EngineApplication& engine, const RunSettings& settings, RunProgress& progress,
               const RunServices& services, RunPosition& position) {
    position.stage = RunPosition::Stage::Closing;
    position.syntaxFile.clear();
    // Quitting still belongs to the run: a failure here abandons it.
    engine.QuitEngine();

    // From here on a failing step is passed over and the next one follows.
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
