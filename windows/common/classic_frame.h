// A frame as the classic desktop drew it: an etched rectangle with the
// caption set on its top line, the window's own colour inside, and the
// option buttons at their given positions within it. The group box draws its
// title above its box instead, which puts the first button on the border.
#pragma once

#include <QGroupBox>

namespace kalvero {

class ClassicFrame : public QGroupBox {
public:
    ClassicFrame(const QString& caption, QWidget* parent);

    // Where the border runs and where the caption stands on it.
    QRect BorderRect() const;
    QRect CaptionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kalvero
