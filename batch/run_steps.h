// Steps that both runs share: creating and setting up the engine, and the
// conversation with the engine for one syntax file.
#pragma once

#include "run_command.h"
#include "statistics_engine.h"

#include <memory>
#include <string>

namespace kalvero {

struct EngineSession {
    std::unique_ptr<EngineApplication> application;
    std::shared_ptr<EngineSettings> settings;
    std::string extension = " ";
};

// Creates the engine by its ProgID, takes its settings and sets the output
// kind of the run's format.
EngineSession OpenEngine(const RunSettings& settings, const RunServices& services);

// Executes one syntax file and writes its output to outputPath in the run's
// format. Refuses, before the engine runs it, an output path that would
// replace the syntax file itself.
void ExecuteSyntaxFile(EngineApplication& engine, OutputFormat format, const std::string& name,
                       const std::string& outputPath, RunPosition& position);

} // namespace kalvero
