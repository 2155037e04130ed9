// The run of syntax list files: every entry is a list file whose syntax lines
// are executed in order; the progress window shows its label only.
#pragma once

#include "batch/run_services.h"
#include "batch/run_settings.h"
#include "batch/run_steps.h"

namespace kalvero {

void RunSyntaxLists(const RunSettings& settings, RunProgress& progress, const RunServices& services,
                    RunPosition& position);

} // namespace kalvero
