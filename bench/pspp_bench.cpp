// Measures the PSPP engine's overhead: small generated syntax files run
// through RunSyntaxFiles with the real engine, against a plain loop that
// starts pspp once per file writing the same format directly
//   Text:   pspp -o NAME.txt NAME.sps
//   Viewer: pspp -o NAME.spo -O format=spv NAME.sps
// The two alternate, round by round, in one program run; the ratio of their
// total times is printed per format. A measurement, not a test.
//
// Usage: pspp_bench [files (200)] [rounds (10)] [charts: 0 or 1 (0)]
#include "batch/run_command.h"
#include "engine/pspp_engine.h"
#include "tests/support/fakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace kalvero;
using Clock = std::chrono::steady_clock;

// Wall-clock and processor time (this process and its children) of a part.
struct Cost {
    double wall = 0;
    double cpu = 0;
    Cost& operator+=(const Cost& other) {
        wall += other.wall;
        cpu += other.cpu;
        return *this;
    }
};

double ProcessorSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        struct rusage usage {};
        ::getrusage(who, &usage);
        total += usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

template <class Part> Cost Measure(Part&& part) {
    const double cpu = ProcessorSeconds();
    const auto start = Clock::now();
    part();
    return {std::chrono::duration<double>(Clock::now() - start).count(), ProcessorSeconds() - cpu};
}

// A small survey-like syntax file, different for each index.
std::string SyntaxText(int index, bool charts) {
    std::string text = "DATA LIST LIST /id x y g.\nBEGIN DATA\n";
    for (int row = 1; row <= 12; ++row)
        text += std::to_string(row) + " " + std::to_string((row * 7 + index) % 23) + " " +
                std::to_string((row * 3 + index * 5) % 17) + " " + std::to_string(row % 3) + "\n";
    text += "END DATA.\nDESCRIPTIVES x y.\nFREQUENCIES g";
    text += charts ? " /BARCHART.\n" : ".\n";
    text += "CROSSTABS g BY id.\n";
    return text;
}

void RunTool(const std::vector<std::string>& files, OutputFormat format) {
    RunSettings settings;
    settings.entries = files;
    settings.outputFormat = format;
    PsppEngineFactory pspp;
    testing::RunRig rig;
    rig.engines.script.forwardTo = &pspp;
    RunPosition position;
    RunSyntaxFiles(settings, rig.progress, rig.services, position);
}

void RunPlain(const QString& pspp, const std::vector<std::string>& files, OutputFormat format) {
    for (const std::string& file : files) {
        const QString name = QFile::decodeName(file.c_str());
        const QString stem = name.left(name.lastIndexOf('.') + 1);
        QStringList arguments;
        if (format == OutputFormat::Text)
            arguments << "-o" << stem + "txt";
        else
            arguments << "-o" << stem + "spo"
                      << "-O"
                      << "format=spv";
        arguments << name;
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(pspp, arguments);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() > 1) {
            std::fprintf(stderr, "pspp failed on %s\n", file.c_str());
            std::exit(1);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
    const bool charts = argc > 3 && std::atoi(argv[3]) != 0;

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        const std::string path =
            QFile::encodeName(folder.path()).toStdString() + "/syntax" + std::to_string(i) + ".sps";
        std::ofstream(path) << SyntaxText(i, charts);
        files.push_back(path);
    }
    const QString pspp = QStringLiteral("pspp");

    std::printf("%d syntax files%s, %d rounds each\n", count, charts ? " with a chart" : "",
                rounds);
    try {
        for (const OutputFormat format : {OutputFormat::Text, OutputFormat::Viewer}) {
            Cost tool;
            Cost plain;
            std::vector<double> pairRatios;
            for (int round = 0; round < rounds; ++round) {
                // Alternate which goes first, so that drift hits both alike.
                Cost toolRound;
                Cost plainRound;
                auto runTool = [&] { toolRound = Measure([&] { RunTool(files, format); }); };
                auto runPlain = [&] {
                    plainRound = Measure([&] { RunPlain(pspp, files, format); });
                };
                if (round % 2 == 0) {
                    runTool();
                    runPlain();
                } else {
                    runPlain();
                    runTool();
                }
                tool += toolRound;
                plain += plainRound;
                pairRatios.push_back(toolRound.wall / plainRound.wall);
            }
            // The median of the rounds' ratios is robust against a burst of
            // load from other programs hitting one round.
            std::sort(pairRatios.begin(), pairRatios.end());
            const double median =
                pairRatios.size() % 2 == 1
                    ? pairRatios[pairRatios.size() / 2]
                    : (pairRatios[pairRatios.size() / 2 - 1] + pairRatios[pairRatios.size() / 2]) /
                          2;
            const double runs = static_cast<double>(count) * rounds;
            std::printf("%-6s wall: tool %.2f ms/file, plain pspp %.2f ms/file, ratio %.3f "
                        "(median of rounds %.3f); processor: tool %.2f, plain %.2f ms/file, "
                        "ratio %.3f\n",
                        format == OutputFormat::Text ? "Text" : "Viewer", tool.wall / runs * 1000,
                        plain.wall / runs * 1000, tool.wall / plain.wall, median,
                        tool.cpu / runs * 1000, plain.cpu / runs * 1000, tool.cpu / plain.cpu);
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "run failed: %s\n", failure.what());
        return 1;
    }
    return 0;
}
