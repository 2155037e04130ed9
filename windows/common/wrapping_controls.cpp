#include "windows/common/wrapping_controls.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace kalvero {

WrappingPushButton::WrappingPushButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent) {
    setAutoDefault(false);
    setDefault(false);
}

void WrappingPushButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    option.text = caption;
    QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (isDown() || isChecked())
        area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    style()->drawItemText(&painter, area, Qt::AlignCenter | Qt::TextWordWrap, palette(),
                          isEnabled(), caption, QPalette::ButtonText);
}

WrappingCheckBox::WrappingCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent) {}

void WrappingCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_CheckBox, option);
    option.text = caption;
    const QRect area = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                          palette(), isEnabled(), caption, QPalette::WindowText);
}

bool WrappingCheckBox::hitButton(const QPoint& position) const {
    return rect().contains(position);
}

} // namespace kalvero
