#include "windows/common/classic_frame.h"

#include <QPainter>

namespace kalvero {
namespace {
constexpr int kCaptionIndent = 6; // pixels from the left edge to the caption
constexpr int kCaptionPadding = 2;
} // namespace

ClassicFrame::ClassicFrame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
    setFlat(true);
    setAutoFillBackground(false);
}

QRect ClassicFrame::BorderRect() const {
    // The line runs through the middle of the caption's text.
    const int top = fontMetrics().height() / 2;
    return QRect(0, top, width(), height() - top);
}

QRect ClassicFrame::CaptionRect() const {
    const QFontMetrics metrics = fontMetrics();
    return QRect(kCaptionIndent, 0, metrics.horizontalAdvance(title()) + 2 * kCaptionPadding,
                 metrics.height());
}

void ClassicFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect border = BorderRect().adjusted(0, 0, -1, -1);
    // Etched: a dark line with a light one just inside it.
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(border.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(border.adjusted(1, 1, 0, 0));
    const QRect caption = CaptionRect();
    painter.fillRect(caption, palette().color(backgroundRole()));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter | Qt::TextShowMnemonic, title());
}

} // namespace kalvero
