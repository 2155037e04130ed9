// The runs and the Run command.
//
// StartRun is the Run button's operation: it rejects an empty list with a
// message, hands the settings to RunSyntaxFiles or RunSyntaxLists, and is the
// one place where a failure inside a run is caught. A run failure leaves the
// progress window as it was and the main window minimised; StartRun then
// shows one message that says where the run stopped, why, and how many
// syntax files had been executed before it.
//
// Both runs end with QuitEngine (still part of the run) and FinishRun:
// ignoring failures, CloseProgress and either ShutDownComputer or the
// completion message.
#pragma once

#include "batch/finish_run.h"
#include "batch/run_services.h"
#include "batch/run_settings.h"
#include "batch/window_run.h"

#include <string>

namespace kalvero {

extern const char* const kEmptyListMessage; // "No Syntax or List of Syntaxes "

void StartRun(const RunSettings& settings, RunProgress& progress, const RunServices& services);

// The text StartRun shows when a run stopped by failure.
std::string RunFailureMessage(const RunPosition& position, const std::string& reason);

} // namespace kalvero
