// Stand-ins for the windows and the user in benchmarks: progress operations
// that do nothing, messages that are only kept, and no shut-down.
#pragma once

#include "batch/run_services.h"
#include "batch/run_settings.h"

#include <string>

namespace kalvero::bench {

class QuietProgress : public RunProgress {
public:
    void SetProgressRange(float, float) override {}
    void SetProgressValue(float) override {}
    void ShowProgress() override {}
    void HideProgressBar() override {}
    void MinimiseMainWindow() override {}
    void CloseProgress() override {}
};

class QuietMessages : public MessageService {
public:
    void ShowMessage(const std::string& text) override { last = text; }
    std::string last;
};

class NoShutDown : public ShutDownService {
public:
    bool RequestShutDown() override { return false; }
};

} // namespace kalvero::bench
