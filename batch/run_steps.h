// Steps that both runs share: where a run stands, creating and setting up the
// engine, and the conversation with the engine for one syntax file.
#pragma once

#include "batch/output_guard.h"
#include "batch/run_settings.h"
#include "batch/statistics_engine.h"

#include <memory>
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

struct EngineSession {
    std::unique_ptr<EngineApplication> application;
    std::shared_ptr<EngineSettings> settings;
    std::string extension = " ";
    OutputGuard guard; // what the run's outputs must not replace
};

// Creates the engine by its ProgID, takes its settings and sets the output
// kind of the run's format.
EngineSession OpenEngine(OutputFormat format, EngineFactory& engines);

// Executes one syntax file and writes its output to outputPath in the run's
// format. Refuses, before the engine runs it, an output path that would
// replace the syntax file itself or anything else the session's guard knows;
// stops first when a stop has been requested.
void ExecuteSyntaxFile(EngineSession& engine, OutputFormat format, const std::string& name,
                       const std::string& outputPath, RunPosition& position);

} // namespace kalvero
