// Measures the list reader and the list run: a syntax list file of 32,767
// lines is planned (read once, outputs named and checked), then run through
// the windows' run against the tests' recording engine, which does nothing
// but record. Prints the time per line; a measurement, not a test.
#include "batch/batch_plan.h"
#include "batch/run_command.h"
#include "system/local_file_system.h"
#include "tests/support/fakes.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace kalvero;

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
    LocalFileSystem files;
    PlanRules rules;
    rules.limits16 = true;
    auto start = Clock::now();
    std::size_t jobs = 0;
    for (int r = 0; r < kRepeats; ++r)
        jobs +=
            MakePlan({path}, InputMode::SyntaxLists, OutputFormat::Text, rules, files).jobs.size();
    const double planSeconds = Seconds(Clock::now() - start) / kRepeats;

    RunSettings settings;
    settings.entries = {path};
    settings.inputMode = InputMode::SyntaxLists;
    settings.outputFormat = OutputFormat::Text;
    start = Clock::now();
    std::string last;
    for (int r = 0; r < kRepeats; ++r) {
        testing::RunRig rig;
        StartRun(settings, rig.progress, rig.services);
        last = rig.messages.texts.empty() ? "" : rig.messages.texts.back();
    }
    const double runSeconds = Seconds(Clock::now() - start) / kRepeats;

    std::filesystem::remove_all(dir);
    if (last != kCompletionMessage) {
        std::fprintf(stderr, "the run failed: %s\n", last.c_str());
        return 1;
    }
    std::printf("list of %d lines, %zu syntax lines\n", kLines, jobs / kRepeats);
    std::printf("plan (read once, outputs checked): %.3f ms in all, %.3f us per line\n",
                planSeconds * 1e3, planSeconds * 1e6 / kLines);
    std::printf("list run, recording engine: %.3f ms in all, %.3f us per line\n", runSeconds * 1e3,
                runSeconds * 1e6 / kLines);
    return 0;
}
