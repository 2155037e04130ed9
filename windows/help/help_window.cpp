#include "windows/help/help_window.h"

#include "windows/common/placement.h"
#include "windows/common/twips.h"
#include "windows/common/window_setup.h"
#include "windows/help/help_text.h"
#include "windows/main/main_window.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace kalvero {

FormInstance<HelpWindow> HILFE;

namespace {
constexpr double kClientWidth = 5520;
constexpr double kClientHeight = 5580;

constexpr Qt::WindowFlags kHelpWindowFlags =
    Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
} // namespace

HelpPlacement HelpPlacementBeside(double mainLeft, double mainTop, double mainWidth) {
    const float left = static_cast<float>(mainWidth) + static_cast<float>(mainLeft);
    // Rounded to the nearest whole twip, halves to even.
    const double top = std::nearbyint(std::clamp(mainTop, -32768.0, 32767.0));
    return {left, static_cast<std::int16_t>(top)};
}

HelpWindow::HelpWindow() : QWidget(nullptr, kHelpWindowFlags), Text1(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("HILFE"));
    setWindowTitle(QStringLiteral("SPSS KALVERO HELP"));
    SetUpWindow(*this);
    resize(TwipsToPixelsX(kClientWidth), TwipsToPixelsY(kClientHeight));

    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Help text"));
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setGeometry(rect());

    PlaceBesideMain();
    Text1->setPlainText(HelpText());
}

void HelpWindow::PlaceBesideMain() {
    // Only the main window's menu opens this window; should it be gone, the
    // window system's place stands.
    const MainWindow* main = MAIN.Loaded();
    if (!main)
        return;
    const TwipsPoint mainPosition = OuterPositionInTwips(*main);
    const HelpPlacement place =
        HelpPlacementBeside(mainPosition.left, mainPosition.top, OuterSizeInTwips(*main).width);
    MoveToTwips(*this, {place.left, static_cast<double>(place.top)});
}

void HelpWindow::closeEvent(QCloseEvent* event) {
    HILFE.Forget(this);
    QWidget::closeEvent(event);
}

void HelpWindow::resizeEvent(QResizeEvent* event) {
    Text1->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void OpenHelpWindow() {
    HelpWindow& window = HILFE.Load();
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace kalvero
