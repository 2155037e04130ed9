// F10 moves the keyboard to a window's menu bar, as on the classic desktop:
// the first item is highlighted, Left and Right move between the items,
// Enter or Space choose one, Escape (or F10 again) goes back to the control
// that had the keyboard. Once an item has been chosen, by key or by mouse,
// no item stays highlighted: a screen reader would go on reporting it as
// the focused one.
#pragma once

#include <QObject>
#include <QPointer>

class QMenuBar;
class QWidget;

namespace kalvero {

class MenuBarKeys : public QObject {
public:
    // Lives as long as the menu bar, which owns it.
    explicit MenuBarKeys(QMenuBar& menuBar);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Enter();
    void Leave();
    bool HasKeyboard() const;

    QMenuBar& menuBar_;
    QPointer<QWidget> previousFocus_;
};

} // namespace kalvero
