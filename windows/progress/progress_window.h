// The progress window WAIT: a label and a bar that tell the user that a run
// is working. It carries out the run's display operations but minimising the
// main window. Loading it places it on the screen without showing it.
#pragma once

#include "windows/common/form_instance.h"
#include "windows/progress/progress_bar.h"

#include <QLabel>
#include <QWidget>

namespace kalvero {

class ProgressWindow : public QWidget {
    Q_OBJECT
public:
    ProgressWindow();

    QLabel* Label1 = nullptr;                  // "SPSS KALVERO is working"
    SingleProgressBar* ProgressBar1 = nullptr; // entries done

    void SetProgressRange(float minimum, float maximum);
    void SetProgressValue(float value);
    void ShowProgress();
    void HideProgressBar();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void Load();
};

extern FormInstance<ProgressWindow> WAIT;

} // namespace kalvero
