// Measures kalvero-run on small syntax files written as Text against what a
// user would otherwise type:
//   loop:     for f in *.sps; do pspp -r -o "${f%.sps}.txt" -O charts=none "$f"; done
//   parallel: parallel -j2 pspp -r -o {.}.txt -O charts=none {} ::: *.sps
//   -j1, -j2: kalvero-run -jN -f text *.sps
//   xargs:    ls *.sps | xargs -P2 -I{} pspp -r -o {}.txt -O charts=none {}
// The last shows how much faster two pspp processes at once can be on this
// machine at all.
// The variants alternate, round by round, in one program run; the median of
// each is printed with the ratios. A measurement, not a test.
//
// Usage: cli_bench [files (200)] [rounds (5)]
#include "bench/measure.h"
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using kalvero::bench::Median;
using kalvero::bench::SecondsToRun;

struct Variant {
    const char* name;
    QString program;
    QStringList arguments;
};

double Seconds(const Variant& variant, const QString& folder) {
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.txt")}))
        QFile::remove(folder + QLatin1Char('/') + name);
    return SecondsToRun(variant.program, variant.arguments, folder);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir root;
    const QString folder = root.path();
    QStringList names;
    for (int i = 0; i < files; ++i) {
        const std::string name = "s" + std::to_string(i) + ".sps";
        std::ofstream(folder.toStdString() + "/" + name)
            << "DATA LIST LIST /x y.\nBEGIN DATA\n1 " << i << "\n2 3\n3 " << i % 7
            << "\nEND DATA.\nDESCRIPTIVES x y.\n";
        names << QString::fromStdString(name);
    }

    std::vector<Variant> variants = {
        {"loop",
         QStringLiteral("/bin/sh"),
         {QStringLiteral("-c"), QStringLiteral("for f in *.sps; do pspp -r -o \"${f%.sps}.txt\" "
                                               "-O charts=none \"$f\"; done")}},
        {"kalvero-run -j1", QStringLiteral(KALVERO_RUN),
         QStringList{QStringLiteral("-j1"), QStringLiteral("-f"), QStringLiteral("text")} + names},
        {"kalvero-run -j2", QStringLiteral(KALVERO_RUN),
         QStringList{QStringLiteral("-j2"), QStringLiteral("-f"), QStringLiteral("text")} + names},
    };
    variants.push_back(
        {"xargs -P2",
         QStringLiteral("/bin/sh"),
         {QStringLiteral("-c"),
          QStringLiteral("ls *.sps | xargs -P2 -I{} sh -c 'pspp -r -o \"${1%.sps}.txt\" "
                         "-O charts=none \"$1\"' sh {}")}});
    const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
    if (!parallel.isEmpty())
        variants.push_back(
            {"parallel -j2", parallel,
             QStringList{QStringLiteral("-j2"), QStringLiteral("pspp"), QStringLiteral("-r"),
                         QStringLiteral("-o"), QStringLiteral("{.}.txt"), QStringLiteral("-O"),
                         QStringLiteral("charts=none"), QStringLiteral("{}"),
                         QStringLiteral(":::")} +
                 names});
    else
        std::printf("parallel is not installed: its row is left out\n");

    std::map<std::string, std::vector<double>> times;
    for (int round = 0; round < rounds; ++round)
        for (const Variant& variant : variants)
            times[variant.name].push_back(Seconds(variant, folder));

    std::printf("%d syntax files as Text, median of %d rounds\n", files, rounds);
    for (const Variant& variant : variants)
        std::printf("  %-16s %7.3f s\n", variant.name, Median(times[variant.name]));
    const double loop = Median(times["loop"]);
    std::printf("kalvero-run -j1 / loop:         %.3f (goal <= 1.02)\n",
                Median(times["kalvero-run -j1"]) / loop);
    std::printf("loop / kalvero-run -j2:         %.3f (goal >= 1.8)\n",
                loop / Median(times["kalvero-run -j2"]));
    std::printf("loop / xargs -P2:               %.3f (this machine's ceiling)\n",
                loop / Median(times["xargs -P2"]));
    if (!parallel.isEmpty())
        std::printf("kalvero-run -j2 / parallel -j2: %.3f (goal <= 1.05)\n",
                    Median(times["kalvero-run -j2"]) / Median(times["parallel -j2"]));
    return 0;
}
