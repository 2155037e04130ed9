#include "windows/main/window_run_progress.h"

#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"

namespace kalvero {

WindowRunProgress::WindowRunProgress(MainWindow& main) : main_(&main) {}

void WindowRunProgress::SetProgressRange(float minimum, float maximum) {
    WAIT.Load().SetProgressRange(minimum, maximum);
}

void WindowRunProgress::SetProgressValue(float value) {
    WAIT.Load().SetProgressValue(value);
}

void WindowRunProgress::ShowProgress() {
    WAIT.Load().ShowProgress();
}

void WindowRunProgress::HideProgressBar() {
    WAIT.Load().HideProgressBar();
}

void WindowRunProgress::MinimiseMainWindow() {
    if (main_)
        main_->MinimiseMainWindow();
}

void WindowRunProgress::CloseProgress() {
    WAIT.Unload();
}

} // namespace kalvero
