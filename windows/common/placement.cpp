#include "windows/common/placement.h"

#include "windows/common/twips.h"
#include "windows/common/x11_window_manager.h"

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

namespace {
TwipsSize OuterSizeWith(const QWidget& widget, const QMargins& frame) {
    const QScreen* screen = ScreenOf(widget);
    const QSize size = widget.size().grownBy(frame);
    return {PixelsToTwipsX(size.width(), screen), PixelsToTwipsY(size.height(), screen)};
}
} // namespace

TwipsSize OuterSizeInTwips(const QWidget& widget) {
    return OuterSizeWith(widget, FrameMargins(widget));
}

namespace {
void MoveFrameTo(QWidget& window, const TwipsPoint& position, const QMargins& frame) {
    const QScreen* screen = ScreenOf(window);
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint(0, 0);
    QPoint corner = origin + QPoint(TwipsToPixelsX(position.left, screen),
                                    TwipsToPixelsY(position.top, screen));
    // QWidget::move places a window's frame; but a window that already has
    // its native window and is not shown yet is placed by its client area,
    // since Qt does not know its frame yet.
    if (window.testAttribute(Qt::WA_WState_Created) && !window.isVisible())
        corner += QPoint(frame.left(), frame.top());
    window.move(corner);
}
} // namespace

void MoveToTwips(QWidget& window, const TwipsPoint& position) {
    MoveFrameTo(window, position, FrameMargins(window));
}

void SetClientSizeInTwips(QWidget& window, double width, double height, int extraHeight) {
    const QScreen* screen = ScreenOf(window);
    window.resize(TwipsToPixelsX(width, screen), TwipsToPixelsY(height, screen) + extraHeight);
}

void PlaceFifthAcrossCentred(QWidget& window) {
    const TwipsSize screen = ScreenSizeInTwips(window);
    QMargins frame = FrameMargins(window);
    // The program's first window has no other to learn its frame from: the
    // window manager is asked for it before the window is shown.
    if (frame.isNull() && !window.isVisible())
        frame = RequestFrameExtents(window).value_or(QMargins());
    const TwipsSize outer = OuterSizeWith(window, frame);
    MoveFrameTo(
        window,
        FifthAcrossCentred(static_cast<float>(screen.width), static_cast<float>(screen.height),
                           static_cast<float>(outer.width), static_cast<float>(outer.height)),
        frame);
}

} // namespace kalvero
