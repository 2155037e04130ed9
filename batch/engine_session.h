// One engine as a batch drives it: created by its ProgID with the output
// kind of the batch's format set once, then one conversation per syntax
// file.
#pragma once

#include "batch/run_settings.h"
#include "batch/statistics_engine.h"

#include <memory>
#include <string>

namespace kalvero {

struct EngineSession {
    std::unique_ptr<EngineApplication> application;
    std::shared_ptr<EngineSettings> settings;
    std::string extension = " ";
};

// Creates the engine by its ProgID, takes its settings and sets the output
// kind of format.
EngineSession OpenEngine(OutputFormat format, EngineFactory& engines);

// Executes one syntax file and writes its output to outputPath in format:
// RunSyntaxFile, the format's document, its save or export, CloseDocument.
// Stops first when a stop has been requested.
void ExecuteSyntaxFile(EngineSession& engine, OutputFormat format, const std::string& name,
                       const std::string& outputPath);

} // namespace kalvero
