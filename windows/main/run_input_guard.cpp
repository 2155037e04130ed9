#include "windows/main/run_input_guard.h"

#include "batch/run_stop.h"
#include "windows/progress/progress_window.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace kalvero {

namespace {
int activeGuards = 0;

bool IsUserInput(const QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::Gesture:
    case QEvent::NativeGesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    case QEvent::Close:
        // Only the window system's close requests (the close box); the run
        // itself closes windows, too.
        return event.spontaneous();
    default:
        return false;
    }
}

bool InsideActiveModal(const QWidget& widget) {
    const QWidget* modal = QApplication::activeModalWidget();
    return modal && (modal == &widget || modal->isAncestorOf(&widget));
}
} // namespace

RunInputGuard::RunInputGuard() {
    ++activeGuards;
    qApp->installEventFilter(this);
}

RunInputGuard::~RunInputGuard() {
    qApp->removeEventFilter(this);
    --activeGuards;
}

bool RunInputGuard::Active() {
    return activeGuards > 0;
}

bool RunInputGuard::eventFilter(QObject* receiver, QEvent* event) {
    if (!IsUserInput(*event))
        return false;
    if (receiver->isWidgetType()) {
        if (InsideActiveModal(*static_cast<QWidget*>(receiver)))
            return false;
        // The progress window's close box is the one way to stop a run: the
        // run ends the running syntax file and closes the window itself.
        if (event->type() == QEvent::Close && receiver == WAIT.Loaded())
            RequestStop(kStoppedByUser);
    } else if (event->type() != QEvent::Shortcut || QApplication::activeModalWidget()) {
        // Window-level events reach the widgets afterwards and are judged
        // there; shortcuts go to actions and are confined to the active
        // window by Qt, which is the modal one when there is one.
        return false;
    }
    // An ignored close event keeps the window open.
    event->ignore();
    return true;
}

} // namespace kalvero
