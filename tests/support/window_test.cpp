#include "tests/support/window_test.h"

#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"
#include "windows/syntax_select/syntax_select_window.h"

#include <QCoreApplication>
#include <QEvent>

namespace kalvero::test {

void WindowTest::SetUp() {
    saved_ = Services();
    Services().engines = &engines;
    Services().messages = &messages;
    Services().shutDown = &shutDown;
    Services().files = &files;
}

void WindowTest::TearDown() {
    UnloadAll();
    Services() = saved_;
}

void WindowTest::UnloadAll() {
    SYNT_SELECT.Unload();
    WAIT.Unload();
    MAIN.Unload();
    FlushDeletes();
}

void WindowTest::FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace kalvero::test
