// What the benchmarks measure with: the median of their rounds, and the
// wall-clock time of one program run.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace kalvero::bench {

// The median of a benchmark's rounds, less moved by a round disturbed by
// something else on the machine than the mean.
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Seconds that program takes to run to its end in folder, its output
// discarded; a run that fails is reported on standard error.
inline double SecondsToRun(const QString& program, const QStringList& arguments,
                           const QString& folder) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const auto start = std::chrono::steady_clock::now();
    process.start(program, arguments);
    process.waitForFinished(-1);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        std::fprintf(stderr, "%s failed (exit status %d)\n", qPrintable(program),
                     process.exitCode());
    return seconds;
}

} // namespace kalvero::bench
