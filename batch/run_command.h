// The runs and the Run command.
//
// StartRun is the Run button's operation: it rejects an empty list with a
// message, hands the settings to RunSyntaxFiles or RunSyntaxLists, and is the
// one place where a failure inside a run is caught. A run failure leaves the
// progress window as it was and the main window minimised; StartRun then
// shows one message that says where the run stopped, why, and how many
// syntax files had been executed before it.
//
// Both runs end with FinishRun: QuitEngine (still part of the run), then,
// ignoring failures, CloseProgress and either ShutDownComputer or the
// completion message.
#pragma once

#include "run_services.h"
#include "run_settings.h"

#include <cstdint>
#include <string>

namespace kalvero {

class EngineApplication;

extern const char* const kEmptyListMessage;  // "No Syntax or List of Syntaxes "
extern const char* const kCompletionMessage; // "The Syntaxes have been executed "

// Where a run stands, kept up to date as it proceeds so that the message of a
// failed run can say where it stopped.
struct RunPosition {
    enum class Stage { SettingUp, Entry, ListLine, Closing };
    Stage stage = Stage::SettingUp;
    int entryNumber = 0;    // 1-based number of the current entry
    std::string entry;      // the current entry as stored
    long lineNumber = 0;    // 1-based line of the current list file
    std::string syntaxFile; // the syntax file being executed, if any
    int executed = 0;       // syntax files executed and written so far
};

void RunSyntaxFiles(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position);
void RunSyntaxLists(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position);
void FinishRun(EngineApplication& engine, const RunSettings& settings, RunProgress& progress,
               const RunServices& services, RunPosition& position);
void ShutDownComputer(ShutDownService& shutDown);
void StartRun(const RunSettings& settings, RunProgress& progress, const RunServices& services);

// The text StartRun shows when a run stopped by failure.
std::string RunFailureMessage(const RunPosition& position, const std::string& reason);

} // namespace kalvero
