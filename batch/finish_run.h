// The closing sequence of both runs. Its first step, QuitEngine, still
// belongs to the run: the runner takes it when every syntax file has run
// (batch/batch_runner.h), and a failure there abandons the run. FinishRun
// then takes the rest, ignoring failures: CloseProgress and either
// ShutDownComputer or the completion message.
#pragma once

#include "batch/run_services.h"
#include "batch/run_settings.h"

namespace kalvero {

extern const char* const kCompletionMessage; // "The Syntaxes have been executed "

void FinishRun(const RunSettings& settings, RunProgress& progress, const RunServices& services);
void ShutDownComputer(ShutDownService& shutDown);

} // namespace kalvero
