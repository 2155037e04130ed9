#include "windows/progress/progress_window.h"

#include "windows/common/placement.h"
#include "windows/common/twips.h"
#include "windows/common/window_setup.h"

#include <QCloseEvent>
#include <QFont>

namespace kalvero {

FormInstance<ProgressWindow> WAIT;

ProgressWindow::ProgressWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("WAIT"));
    setWindowTitle(QStringLiteral("WAIT"));
    SetUpWindow(*this);
    SetClientSizeInTwips(*this, 4980, 1125);
    CreateControls();
    Load();
}

void ProgressWindow::CreateControls() {
    Label1 = new QLabel(QStringLiteral(" SPSS KALVERO is working ....."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    Label1->setFont(font);
    Label1->setGeometry(TwipsRect(480, 240, 5175, 255, screen()));

    ProgressBar1 = new SingleProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(TwipsRect(0, 840, 4935, 255, screen()));
    // The label above the bar names it for a screen reader.
    Label1->setBuddy(ProgressBar1);
}

void ProgressWindow::Load() {
    PlaceFifthAcrossCentred(*this);
}

void ProgressWindow::SetProgressRange(float minimum, float maximum) {
    ProgressBar1->SetMin(minimum);
    ProgressBar1->SetMax(maximum);
}

void ProgressWindow::SetProgressValue(float value) {
    ProgressBar1->SetValue(value);
}

void ProgressWindow::ShowProgress() {
    show();
    raise();
}

void ProgressWindow::HideProgressBar() {
    ProgressBar1->hide();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    WAIT.Forget(this);
    event->accept();
}

} // namespace kalvero
