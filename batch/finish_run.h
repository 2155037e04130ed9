// The closing sequence of both runs: QuitEngine (still part of the run),
// then, ignoring failures, CloseProgress and either ShutDownComputer or the
// completion message.
#pragma once

#include "batch/run_services.h"
#include "batch/run_settings.h"
#include "batch/run_steps.h"

namespace kalvero {

class EngineApplication;

extern const char* const kCompletionMessage; // "The Syntaxes have been executed "

void FinishRun(EngineApplication& engine, const RunSettings& settings, RunProgress& progress,
               const RunServices& services, RunPosition& position);
void ShutDownComputer(ShutDownService& shutDown);

} // namespace kalvero
