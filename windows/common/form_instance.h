// Every window of the program exists at most once and is reached by its name
// (MAIN, SYNT_SELECT, WAIT, HILFE, frmAbout). It is created (loaded) on first
// use, its constructor being its load step; closing it destroys it, and the
// next use loads a fresh one.
//
// A window class W calls Forget(this) from its closeEvent, so that a window
// closed by its close box is never handed out again while it awaits deletion.
#pragma once

#include <QPointer>
#include <QWidget>

namespace kalvero {

template <class W> class FormInstance {
public:
    // The loaded window, or nullptr.
    W* Loaded() const { return window_.data(); }
    bool IsLoaded() const { return !window_.isNull(); }

    // The window, loading it first if it is not loaded.
    W& Load() {
        if (window_.isNull()) {
            W* window = new W;
            window->setAttribute(Qt::WA_DeleteOnClose);
            window_ = window;
        }
        return *window_;
    }

    // Closes and so destroys the window, if it is loaded.
    void Unload() {
        if (W* window = window_.data()) {
            window_.clear();
            window->close();
        }
    }

    void Forget(const W* window) {
        if (window_.data() == window)
            window_.clear();
    }

private:
    QPointer<W> window_;
};

} // namespace kalvero
