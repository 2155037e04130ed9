// Start-up: the platform's real services go into Services(), the main window
// is loaded and shown, and the event loop runs until the last window is
// closed (an open help window, about box or left-over progress window keeps
// the program alive after the main window's Cancel).
#include "logind_shutdown.h"
#include "main/main_window.h"
#include "message_box.h"
#include "no_registry.h"
#include "program_launcher.h"
#include "pspp_engine.h"
#include "window_services.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalvero"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kalvero"));
    QApplication::setQuitOnLastWindowClosed(true);

    kalvero::PsppEngineFactory engines;
    kalvero::QtMessageService messages;
    kalvero::LogindShutDown shutDown;
    kalvero::NoRegistry registry;
    kalvero::DetachedProgramLauncher launcher;
    kalvero::Services() = {&engines, &messages, &shutDown, &registry, &launcher};

    kalvero::MAIN.Load().show();
    const int result = application.exec();
    kalvero::Services() = {};
    return result;
}
