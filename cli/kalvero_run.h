// kalvero-run without the system it runs on: the options, the plan, the
// checks before anything runs, the run with its report and log, and the
// exit status. Each system supplies a CliPlatform (cli/main.cpp on Linux).
#pragma once

#include "batch/file_system.h"
#include "batch/statistics_engine.h"

#include <chrono>
#include <memory>
#include <string>

namespace kalvero {

class CliPlatform {
public:
    virtual ~CliPlatform() = default;
    virtual FileSystem& Files() = 0;
    // The engines of a batch, each syntax file ended after timeLimit (0: none).
    virtual std::unique_ptr<EngineFactory> Engines(std::chrono::seconds timeLimit) = 0;
    // Removes what engines of earlier runs that died left behind.
    virtual void CleanUpAfterEarlierRuns() = 0;
    virtual std::string HostName() = 0;
    // The columns of the terminal on standard error when it shows a live
    // line, or 0 for plain lines (no terminal, or TERM=dumb).
    virtual int LiveLineWidth() = 0;
    // The signal that stopped the batch, or 0.
    virtual int EndingSignal() = 0;
};

// The whole program; returns its exit status.
int KalveroRun(int argc, char** argv, CliPlatform& platform);

} // namespace kalvero
