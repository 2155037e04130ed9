// The two runs of the windows, RunSyntaxFiles and RunSyntaxLists: the batch
// planned with the windows' 16-bit limits and run by the runner with one
// worker on the windows' own thread, stopping at the first failure, under
// an observer that drives RunProgress, keeps track of where the run stands
// for the failure message, and ends a completed run with FinishRun.
//
// The two differ only in the progress window: the run of syntax files sets
// the bar's range to the entries and advances it after each entry; the run
// of syntax list files hides the bar.
#pragma once

#include "batch/batch_runner.h"
#include "batch/run_services.h"
#include "batch/run_settings.h"

#include <string>

namespace kalvero {

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

// A run that ends early throws: RunStopped after a requested stop, any other
// exception after a failure; position then says where.
void RunSyntaxFiles(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position);
void RunSyntaxLists(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position);

} // namespace kalvero
