// The display operations of a run: minimising goes to the main window, the
// rest to the progress window WAIT, which each of them but CloseProgress
// loads first when it is not loaded.
#pragma once

#include "batch/run_settings.h"

#include <QPointer>

namespace kalvero {

class MainWindow;

class WindowRunProgress : public RunProgress {
public:
    explicit WindowRunProgress(MainWindow& main);

    void SetProgressRange(float minimum, float maximum) override;
    void SetProgressValue(float value) override;
    void ShowProgress() override;
    void HideProgressBar() override;
    void MinimiseMainWindow() override;
    void CloseProgress() override;

private:
    QPointer<MainWindow> main_;
};

} // namespace kalvero
