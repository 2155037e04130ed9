#include "help_window.h"

#include "help_text.h"
#include "secondary_windows.h"
#include "twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kalvero {

FormInstance<HelpWindow> HILFE;

namespace {
constexpr double kClientWidth = 5520;
constexpr double kClientHeight = 5580;

constexpr Qt::WindowFlags kHelpWindowFlags =
    Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

// The main window's outer frame, if it is loaded.
std::optional<const QWidget*> LoadedMainWindow() {
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("MAIN"))
            return widget;
    return std::nullopt;
}
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
    resize(TwipsToPixelsX(kClientWidth), TwipsToPixelsY(kClientHeight));

    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setGeometry(rect());

    PlaceBesideMain();
    Text1->setPlainText(HelpText());
}

void HelpWindow::PlaceBesideMain() {
    const std::optional<const QWidget*> main = LoadedMainWindow();
    if (!main)
        return;
    const QScreen* screen = (*main)->screen();
    const QRect frame = (*main)->frameGeometry();
    const HelpPlacement place =
        HelpPlacementBeside(PixelsToTwipsX(frame.x(), screen), PixelsToTwipsY(frame.y(), screen),
                            PixelsToTwipsX(frame.width(), screen));
    // move() places a window's outer frame.
    move(TwipsToPixelsX(place.left, screen), TwipsToPixelsY(place.top, screen));
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
