// A button and a check box whose captions wrap onto further lines when they
// do not fit the fixed width of the control, as the captions of the main
// window's controls must. The caption text itself stays as it was given.
#pragma once

#include <QCheckBox>
#include <QPushButton>

namespace kalvero {

class WrappingPushButton : public QPushButton {
public:
    WrappingPushButton(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class WrappingCheckBox : public QCheckBox {
public:
    WrappingCheckBox(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    // The whole control takes the click, caption lines included.
    bool hitButton(const QPoint& position) const override;
};

} // namespace kalvero
