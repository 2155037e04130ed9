// Start-up: the platform's real services go into Services(), the main window
// is loaded and shown, and the event loop runs until the last window is
// closed (an open help window, about box or left-over progress window keeps
// the program alive after the main window's Cancel).
#include "engine/engine_folder.h"
#include "engine/pspp_engine.h"
#include "system/local_file_system.h"
#include "system/logind_shutdown.h"
#include "system/no_registry.h"
#include "system/program_launcher.h"
#include "system/stop_signals.h"
#include "windows/common/message_box.h"
#include "windows/common/window_services.h"
#include "windows/main/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Under a locale that is not UTF-8, file names and pspp's syntax files
    // are read as UTF-8 all the same.
    kalvero::UseUtf8Locale();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalvero"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kalvero"));
    QApplication::setQuitOnLastWindowClosed(true);

    // Folders of earlier instances that died without cleaning up go now.
    kalvero::RemoveStaleEngineFolders();
    // A signal stops a run in progress cleanly, then ends the program.
    const kalvero::StopOnSignals stopOnSignals(
        [](int signal) { QCoreApplication::exit(128 + signal); });

    kalvero::PsppEngineFactory engines;
    kalvero::QtMessageService messages;
    kalvero::LogindShutDown shutDown;
    kalvero::NoRegistry registry;
    kalvero::DetachedProgramLauncher launcher;
    kalvero::LocalFileSystem files;
    kalvero::Services() = {&engines, &messages, &shutDown, &registry, &launcher, &files};

    kalvero::MAIN.Load().show();
    const int result = application.exec();
    kalvero::Services() = {};
    return result;
}
