#include "windows/common/menu_bar_keys.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenuBar>
#include <QShortcut>

namespace kalvero {

MenuBarKeys::MenuBarKeys(QMenuBar& menuBar) : QObject(&menuBar), menuBar_(menuBar) {
    // A window shortcut: F10 works wherever the keyboard is in the window.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), &menuBar);
    connect(f10, &QShortcut::activated, this, [this] { HasKeyboard() ? Leave() : Enter(); });
    connect(&menuBar, &QMenuBar::triggered, this, &MenuBarKeys::Leave);
    menuBar.installEventFilter(this);
}

bool MenuBarKeys::HasKeyboard() const {
    return menuBar_.window()->focusWidget() == &menuBar_;
}

void MenuBarKeys::Enter() {
    const QList<QAction*> items = menuBar_.actions();
    if (items.isEmpty())
        return;
    previousFocus_ = menuBar_.window()->focusWidget();
    menuBar_.setActiveAction(items.front());
    menuBar_.setFocus(Qt::MenuBarFocusReason);
}

void MenuBarKeys::Leave() {
    const bool hadKeyboard = HasKeyboard();
    menuBar_.setActiveAction(nullptr);
    if (hadKeyboard && previousFocus_)
        previousFocus_->setFocus(Qt::MenuBarFocusReason);
    previousFocus_.clear();
}

bool MenuBarKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &menuBar_)
        return false;
    if (event->type() == QEvent::FocusOut) {
        // Left by a click elsewhere or for another window: nothing stays lit.
        menuBar_.setActiveAction(nullptr);
        return false;
    }
    if (event->type() != QEvent::KeyPress || !HasKeyboard())
        return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Escape:
        Leave();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // Chosen here whatever the style says about menu bar keys; the
        // menu bar's triggered signal then leaves the menu.
        if (QAction* item = menuBar_.activeAction())
            item->trigger();
        return true;
    default:
        return false; // Left, Right and Tab move between the items
    }
}

} // namespace kalvero
