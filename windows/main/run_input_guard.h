// While a run is in progress it holds the user-interface thread, but the
// engine keeps the event loop turning so that the windows repaint. This
// guard, alive for the length of a run, drops every piece of user input
// (mouse, keyboard, wheel, touch, shortcuts, context menus, close requests
// from the window system) aimed at a widget outside the active modal widget.
// The run's own message boxes are modal and so take input as usual. Input is
// dropped, not deferred: nothing of it is handled after the run either. The
// one exception is the progress window's close box, which asks the run to
// stop (batch/run_stop.h).
#pragma once

#include <QObject>

namespace kalvero {

class RunInputGuard : public QObject {
public:
    RunInputGuard();
    ~RunInputGuard() override;
    RunInputGuard(const RunInputGuard&) = delete;
    RunInputGuard& operator=(const RunInputGuard&) = delete;

    // Whether a guard (and so a run) is in force.
    static bool Active();

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;
};

} // namespace kalvero
