// The run of syntax files: every entry is a syntax file, executed in list
// order with its output beside it; the progress bar counts the entries.
#pragma once

#include "batch/run_services.h"
#include "batch/run_settings.h"
#include "batch/run_steps.h"

namespace kalvero {

void RunSyntaxFiles(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position);

} // namespace kalvero
