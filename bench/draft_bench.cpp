// Measures Draft documents: 100 small syntax files with a table each (10 of
// them with a chart too) through kalvero-run -j1 -f draft, against a plain
// loop of pspp writing the same HTML:
//   for f in *.sps; do pspp -r -o "${f%.sps}.html" -O format=html "$f"; done
// alternating, medians of the rounds; then the size of the Draft document of
// a file with 20 charts against the total size of its PNG files. A
// measurement, not a test.
//
// Usage: draft_bench [rounds (3)]
#include "bench/measure.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using kalvero::bench::Median;
using kalvero::bench::SecondsToRun;

void Write(const QString& path, const std::string& text) {
    std::ofstream(path.toStdString()) << text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    QTemporaryDir root;
    const QString folder = root.path();
    QStringList names;
    for (int i = 0; i < 100; ++i) {
        std::string syntax = "DATA LIST LIST /x y (F8.0).\nBEGIN DATA\n1 " + std::to_string(i) +
                             "\n2 3\n3 " + std::to_string(i % 7) +
                             "\n4 5\nEND DATA.\n"
                             "DESCRIPTIVES x y.\n";
        if (i % 10 == 0)
            syntax += "FREQUENCIES x /HISTOGRAM.\n";
        const QString name = QStringLiteral("s%1.sps").arg(i);
        Write(folder + QLatin1Char('/') + name, syntax);
        names << name;
    }
    const QString loop = QStringLiteral(
        "for f in *.sps; do pspp -r -o \"${f%.sps}.html\" -O format=html \"$f\"; done");
    std::vector<double> tool;
    std::vector<double> plain;
    for (int round = 0; round < rounds; ++round) {
        tool.push_back(SecondsToRun(
            QStringLiteral(KALVERO_RUN),
            QStringList{QStringLiteral("-j1"), QStringLiteral("-f"), QStringLiteral("draft")} +
                names,
            folder));
        plain.push_back(
            SecondsToRun(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), loop}, folder));
    }
    std::printf("100 syntax files as Draft (10 with a chart), median of %d rounds\n", rounds);
    std::printf("  kalvero-run -j1 -f draft  %7.3f s\n", Median(tool));
    std::printf("  loop of pspp -o NAME.html %7.3f s\n", Median(plain));
    std::printf("  ratio                     %7.3f (goal <= 1.10)\n", Median(tool) / Median(plain));

    // 20 charts in one file: the document against its pictures.
    QTemporaryDir charts;
    std::string syntax = "DATA LIST LIST /x (F8.0).\nBEGIN DATA\n";
    for (int i = 0; i < 50; ++i)
        syntax += std::to_string(i % 13) + "\n";
    syntax += "END DATA.\n";
    for (int i = 0; i < 20; ++i)
        syntax += "FREQUENCIES x /FORMAT=NOTABLE /HISTOGRAM.\n";
    Write(charts.filePath(QStringLiteral("charts.sps")), syntax);
    SecondsToRun(QStringLiteral(KALVERO_RUN),
                 {QStringLiteral("-f"), QStringLiteral("draft"), QStringLiteral("charts.sps")},
                 charts.path());
    SecondsToRun(QStringLiteral("pspp"),
                 {QStringLiteral("-r"), QStringLiteral("-o"), QStringLiteral("charts.html"),
                  QStringLiteral("-O"), QStringLiteral("format=html"),
                  QStringLiteral("charts.sps")},
                 charts.path());
    qint64 pictures = 0;
    int count = 0;
    for (const QFileInfo& png : QDir(charts.path()).entryInfoList({QStringLiteral("*.png")})) {
        pictures += png.size();
        ++count;
    }
    const qint64 document = QFileInfo(charts.filePath(QStringLiteral("charts.rtf"))).size();
    std::printf("20 charts: %d PNG files of %lld bytes, Draft document %lld bytes: %.3f times "
                "(goal <= 2.2)\n",
                count, static_cast<long long>(pictures), static_cast<long long>(document),
                pictures > 0 ? static_cast<double>(document) / static_cast<double>(pictures) : 0.0);
    return 0;
}
