// Measures the time from a click on Run to the completion message for one
// tiny syntax file, with the real windows (offscreen unless QT_QPA_PLATFORM
// says otherwise) and the real PSPP engine, split into its parts:
//   before the engine   click to the engine's creation (WAIT, minimising)
//   engine start        creating the engine (finding and asking pspp)
//   syntax file         pspp running the syntax file
//   after the run       writing the output, closing, up to the message
// and against pspp alone on the same file. Medians of the rounds.
//
// Usage: run_to_message_bench [rounds (20)]
#include "bench/measure.h"
#include "engine/pspp_engine.h"
#include "tests/support/fakes.h"
#include "windows/common/window_services.h"
#include "windows/main/main_window.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <vector>

namespace {

using namespace kalvero;
using Clock = std::chrono::steady_clock;

std::map<std::string, Clock::time_point> marks;

// The first time each call of the recording engine is made.
void Mark(const std::string& call) {
    const std::string name = call.substr(0, call.find('('));
    marks.try_emplace(name, Clock::now());
}

double Ms(const std::string& from, const std::string& to) {
    return std::chrono::duration<double, std::milli>(marks[to] - marks[from]).count();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    QTemporaryDir folder;
    const std::string syntax = folder.filePath(QStringLiteral("tiny.sps")).toStdString();
    std::ofstream(syntax) << "DATA LIST LIST /x.\nBEGIN DATA\n1\nEND DATA.\nLIST.\n";

    // The recording engine in front of the real one: "Create" marks the
    // engine's start, "GetSettings" its end, "RunSyntaxFile" the syntax file's
    // start and "CurrentViewerDocument" its end.
    PsppEngineFactory pspp;
    testing::RunRig rig;
    rig.engines.script.forwardTo = &pspp;
    rig.engines.script.onCall = Mark;
    Services() = {&rig.engines, &rig.messages, &rig.shutDown, nullptr, nullptr, &rig.files};

    std::map<std::string, std::vector<double>> parts;
    for (int round = 0; round < rounds; ++round) {
        MainWindow& main = MAIN.Load();
        main.show();
        main.List1->addItem(QString::fromStdString(syntax));
        QApplication::processEvents();
        marks.clear();
        marks["click"] = Clock::now();
        main.Command4Click();
        // The fake message box returns at once: the run ends with its message.
        marks["Message"] = Clock::now();
        parts["before the engine"].push_back(Ms("click", "Create"));
        parts["engine start"].push_back(Ms("Create", "GetSettings"));
        parts["syntax file"].push_back(Ms("RunSyntaxFile", "CurrentViewerDocument"));
        parts["after the run"].push_back(Ms("CurrentViewerDocument", "Message"));
        parts["click to message"].push_back(Ms("click", "Message"));
        main.close();
        QApplication::processEvents();

        const auto start = Clock::now();
        QProcess::execute(QStringLiteral("pspp"), {QStringLiteral("-r"), QStringLiteral("-o"),
                                                   folder.filePath(QStringLiteral("alone.txt")),
                                                   QString::fromStdString(syntax)});
        parts["pspp alone"].push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("Run to message, one tiny syntax file (Viewer), median of %d rounds:\n", rounds);
    for (const char* part : {"before the engine", "engine start", "syntax file", "after the run",
                             "click to message", "pspp alone"})
        std::printf("  %-18s %7.1f ms\n", part, bench::Median(parts[part]));
    Services() = {};
    return 0;
}
