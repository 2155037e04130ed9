// Measures how fast kalvero-run stops: a batch of 100,000 syntax files with a
// run log, the first of which never ends; once its pspp runs, SIGTERM, and
// the time until the program has exited (every pending file logged as
// stopped, in one write). Slurm waits 30 s after SIGTERM before SIGKILL; the
// goal is under a second. Also prints the time the batch took to start (its
// plan and the planned lines of the log). A measurement, not a test.
//
// Usage: stop_bench [files (100000)] [rounds (3)]
#include "bench/measure.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Whether pspp runs endless.sps, writing into temporary (this benchmark's
// own): its command line names both.
bool PsppRunsEndless(const std::string& temporary) {
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        std::string line;
        try {
            std::ifstream in("/proc/" + pid.toStdString() + "/cmdline");
            line.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        } catch (const std::exception&) {
            continue; // the process is gone
        }

        if (line.find("endless.sps") != std::string::npos &&
            line.find(temporary) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString();
    ::mkfifo((path + "/never.fifo").c_str(), 0600);
    const std::string temporary = path + "/tmp";
    ::mkdir(temporary.c_str(), 0700);
    std::ofstream(path + "/endless.sps") << "DATA LIST FILE='never.fifo' /x 1.\nLIST.\n";
    std::string input = "endless.sps\n";
    for (int i = 1; i < files; ++i)
        input += "pending" + std::to_string(i) + ".sps\n";

    std::vector<double> starts;
    std::vector<double> stops;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(folder.filePath(QStringLiteral("run.log")));
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), QString::fromStdString(temporary));
        run.setProcessEnvironment(environment);
        run.setWorkingDirectory(folder.path());
        run.setStandardOutputFile(QProcess::nullDevice());
        run.setStandardErrorFile(QProcess::nullDevice());
        const auto start = Clock::now();
        run.start(QStringLiteral(KALVERO_RUN), {"-f", "text", "--log", "run.log", "-"});
        run.waitForStarted();
        run.write(QByteArray::fromStdString(input));
        while (run.bytesToWrite() > 0 && run.waitForBytesWritten(-1)) {
        }
        run.closeWriteChannel();

        while (!PsppRunsEndless(temporary) && run.state() == QProcess::Running)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        starts.push_back(Since(start));
        const auto signalled = Clock::now();
        ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
        run.waitForFinished(-1);
        stops.push_back(Since(signalled));
        if (run.exitStatus() != QProcess::NormalExit || run.exitCode() != 128 + SIGTERM)
            std::fprintf(stderr, "kalvero-run did not stop cleanly (%d)\n", run.exitCode());
    }
    std::printf("%d syntax files, a run log, median of %d rounds:\n", files, rounds);
    std::printf("  start to the first pspp  %7.3f s\n", kalvero::bench::Median(starts));
    std::printf("  SIGTERM to exit          %7.3f s\n", kalvero::bench::Median(stops));
    return 0;
}
