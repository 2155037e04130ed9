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
#include "batch/run_services.h"
#include "batch/statistics_engine.h"
#include "bench/measure.h"
#include "bench/quiet_services.h"
#include "engine/pspp_engine.h"
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

std::map<const char*, Clock::time_point> marks;

class TimedApplication : public EngineApplication {
public:
    explicit TimedApplication(std::unique_ptr<EngineApplication> real) : real_(std::move(real)) {}
    std::shared_ptr<EngineSettings> GetSettings() override { return real_->GetSettings(); }
    void RunSyntaxFile(const std::string& name, bool flag) override {
        marks["run"] = Clock::now();
        real_->RunSyntaxFile(name, flag);
        marks["ran"] = Clock::now();
    }
    std::shared_ptr<EngineDocument> CurrentViewerDocument() override {
        return real_->CurrentViewerDocument();
    }
    std::shared_ptr<EngineDocument> CurrentDraftDocument() override {
        return real_->CurrentDraftDocument();
    }
    void QuitEngine() override { real_->QuitEngine(); }

private:
    std::unique_ptr<EngineApplication> real_;
};

class TimedFactory : public EngineFactory {
public:
    std::unique_ptr<EngineApplication> CreateObject(const std::string& progId) override {
        marks["create"] = Clock::now();
        auto application = std::make_unique<TimedApplication>(real_.CreateObject(progId));
        marks["created"] = Clock::now();
        return application;
    }

private:
    PsppEngineFactory real_;
};

class TimedMessages : public MessageService {
public:
    void ShowMessage(const std::string&) override { marks["message"] = Clock::now(); }
};

double Ms(const char* from, const char* to) {
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

    TimedFactory engines;
    TimedMessages messages;
    bench::NoShutDown shutDown;
    Services() = {&engines, &messages, &shutDown, nullptr, nullptr};

    std::map<std::string, std::vector<double>> parts;
    for (int round = 0; round < rounds; ++round) {
        MainWindow& main = MAIN.Load();
        main.show();
        main.List1->addItem(QString::fromStdString(syntax));
        QApplication::processEvents();
        marks.clear();
        marks["click"] = Clock::now();
        main.Command4Click();
        parts["before the engine"].push_back(Ms("click", "create"));
        parts["engine start"].push_back(Ms("create", "created"));
        parts["syntax file"].push_back(Ms("run", "ran"));
        parts["after the run"].push_back(Ms("ran", "message"));
        parts["click to message"].push_back(Ms("click", "message"));
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
