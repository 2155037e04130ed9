// Measures the list reader and the list run: a syntax list file of 32,767
// lines is read in both passes, then run against an engine that does nothing.
// Prints the time per line; a measurement, not a test.
#include "batch/run_command.h"
#include "batch/statistics_engine.h"
#include "batch/syntax_list.h"
#include "bench/quiet_services.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace kalvero;

class NoOpDocument : public EngineDocument {
public:
    void SaveDocument(const std::string&) override {}
    void ExportText(std::int32_t, const std::string&, std::int32_t, std::int32_t) override {}
    void CloseDocument() override {}
};

class NoOpSettings : public EngineSettings {
public:
    void SetOutputKind(std::int32_t) override {}
};

class NoOpEngine : public EngineApplication {
public:
    std::shared_ptr<EngineSettings> GetSettings() override {
        return std::make_shared<NoOpSettings>();
    }
    void RunSyntaxFile(const std::string&, bool) override {}
    std::shared_ptr<EngineDocument> CurrentViewerDocument() override { return document_; }
    std::shared_ptr<EngineDocument> CurrentDraftDocument() override { return document_; }
    void QuitEngine() override {}

private:
    std::shared_ptr<EngineDocument> document_ = std::make_shared<NoOpDocument>();
};

class NoOpFactory : public EngineFactory {
public:
    std::unique_ptr<EngineApplication> CreateObject(const std::string&) override {
        return std::make_unique<NoOpEngine>();
    }
};

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main() {
    constexpr int kLines = 32767;
    constexpr int kRepeats = 20;
    const auto dir = std::filesystem::temp_directory_path() / "kalvero-list-bench";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "list.txt").string();
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < kLines; ++i) {
            if (i % 10 == 0)
                out << "* comment line " << i << "\r\n";
            else
                out << "  /data/study/wave" << i << "/syntax file " << i << ".sps\n";
        }
    }

    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    std::size_t bytes = 0;
    for (int r = 0; r < kRepeats; ++r) {
        std::int16_t count = 0;
        {
            SyntaxListFile counting(path);
            count = counting.CountLines();
        }
        SyntaxListFile list(path);
        for (int i = 0; i < count; ++i)
            bytes += list.ReadLine().size();
    }
    const double readSeconds = Seconds(Clock::now() - start) / kRepeats;

    NoOpFactory engines;
    bench::QuietProgress progress;
    bench::QuietMessages messages;
    bench::NoShutDown shutDown;
    const RunServices services{engines, messages, shutDown};
    RunSettings settings;
    settings.entries = {path};
    settings.inputMode = InputMode::SyntaxLists;
    settings.outputFormat = OutputFormat::Text;
    start = Clock::now();
    for (int r = 0; r < kRepeats; ++r)
        StartRun(settings, progress, services);
    const double runSeconds = Seconds(Clock::now() - start) / kRepeats;

    std::filesystem::remove_all(dir);
    if (messages.last != "The Syntaxes have been executed ") {
        std::fprintf(stderr, "the run failed: %s\n", messages.last.c_str());
        return 1;
    }
    std::printf("list of %d lines (%zu bytes read per pass)\n", kLines, bytes / kRepeats);
    std::printf("both reading passes: %.3f ms in all, %.3f us per line\n", readSeconds * 1e3,
                readSeconds * 1e6 / kLines);
    std::printf("list run, no-op engine: %.3f ms in all, %.3f us per line\n", runSeconds * 1e3,
                runSeconds * 1e6 / kLines);
    return 0;
}
