// The program's run without its windows, for the tests of signals and of a
// program that is killed: it starts as the program does (folders of dead
// instances removed, signals stop a run), runs its arguments as syntax files
// to Text through StartRun with the real engine, and prints every message.
#include "batch/run_command.h"
#include "batch/run_stop.h"
#include "engine/engine_folder.h"
#include "engine/pspp_engine.h"
#include "system/local_file_system.h"
#include "system/stop_signals.h"
#include "tests/support/fakes.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

class PrintedMessages : public kalvero::MessageService {
public:
    void ShowMessage(const std::string& text) override {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    kalvero::RemoveStaleEngineFolders();
    const kalvero::StopOnSignals stopOnSignals(
        [](int signal) { QCoreApplication::exit(128 + signal); });

    kalvero::RunSettings settings;
    settings.outputFormat = kalvero::OutputFormat::Text;
    for (int i = 1; i < argc; ++i)
        settings.entries.emplace_back(argv[i]);
    kalvero::PsppEngineFactory engines;
    PrintedMessages messages;
    kalvero::testing::FakeShutDown shutDown;
    kalvero::testing::RecordingProgress progress;
    kalvero::LocalFileSystem files;
    const kalvero::RunServices services{engines, messages, shutDown, files};
    QTimer::singleShot(0, &application, [&] {
        kalvero::StartRun(settings, progress, services);
        if (!kalvero::StopRequested())
            QCoreApplication::exit(0);
    });
    return application.exec();
}
