#include "windows/common/placement.h"

#include "windows/common/twips.h"

#include <QApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace kalvero {

namespace {
const QScreen* ScreenOf(const QWidget& widget) {
    const QScreen* screen = widget.screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

// The frame the window system puts around a window is known only once the
// window is shown. Until then the frame of another shown window of the
// program stands in for it, as the window system decorates them alike.
QMargins FrameMargins(const QWidget& window) {
    if (window.isVisible() && window.windowHandle())
        return window.windowHandle()->frameMargins();
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == &window || !other->isVisible() || !other->windowHandle() ||
            other->windowType() != Qt::Window)
            continue;
        const QMargins margins = other->windowHandle()->frameMargins();
        if (!margins.isNull())
            return margins;
    }
    return {};
}
} // namespace

TwipsPoint FifthAcrossCentred(float screenWidth, float screenHeight, float windowWidth,
                              float windowHeight) {
    const float left = (screenWidth - windowWidth) / 5.0f;
    const float top = (screenHeight - windowHeight) / 2.0f;
    return {left, top};
}

TwipsPoint RightOf(double left, double top, double width) {
    return {left + width, std::nearbyint(top)};
}

TwipsSize ScreenSizeInTwips(const QWidget& widget) {
    const QScreen* screen = ScreenOf(widget);
    const QSize size = screen ? screen->geometry().size() : QSize(0, 0);
    return {PixelsToTwipsX(size.width(), screen), PixelsToTwipsY(size.height(), screen)};
}

TwipsPoint OuterPositionInTwips(const QWidget& widget) {
    const QScreen* screen = ScreenOf(widget);
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint(0, 0);
    const QPoint position = widget.frameGeometry().topLeft() - origin;
    return {PixelsToTwipsX(position.x(), screen), PixelsToTwipsY(position.y(), screen)};
}

TwipsSize OuterSizeInTwips(const QWidget& widget) {
    const QScreen* screen = ScreenOf(widget);
    const QMargins frame = FrameMargins(widget);
    const QSize size = widget.size().grownBy(frame);
    return {PixelsToTwipsX(size.width(), screen), PixelsToTwipsY(size.height(), screen)};
}

void MoveToTwips(QWidget& window, const TwipsPoint& position) {
    const QScreen* screen = ScreenOf(window);
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint(0, 0);
    // QWidget::move places a window's frame, so this is the outer corner.
    window.move(origin + QPoint(TwipsToPixelsX(position.left, screen),
                                TwipsToPixelsY(position.top, screen)));
}

void SetClientSizeInTwips(QWidget& window, double width, double height, int extraHeight) {
    const QScreen* screen = ScreenOf(window);
    window.resize(TwipsToPixelsX(width, screen), TwipsToPixelsY(height, screen) + extraHeight);
}

void PlaceFifthAcrossCentred(QWidget& window) {
    const TwipsSize screen = ScreenSizeInTwips(window);
    const TwipsSize outer = OuterSizeInTwips(window);
    MoveToTwips(window, FifthAcrossCentred(
                            static_cast<float>(screen.width), static_cast<float>(screen.height),
                            static_cast<float>(outer.width), static_cast<float>(outer.height)));
}

} // namespace kalvero
