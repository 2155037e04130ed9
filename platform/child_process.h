// Runs a program to its end: started with an argument list (never through a
// shell), with no standard input, its standard output and error merged and
// the last part kept for the failure message.
//
// While the program runs, a local event loop processes all events, so that
// windows keep repainting; the windows themselves keep user input away during
// a run. Without a QCoreApplication the wait simply blocks.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

namespace kalvero {

struct ChildOutcome {
    bool started = false;
    QString startError; // why it did not start
    bool timedOut = false;
    bool crashed = false; // ended by a signal
    int signal = 0;       // the signal, when known
    int exitCode = 0;
    QByteArray outputTail; // the last bytes of its merged output
};

struct ChildRequest {
    QString program;
    QStringList arguments;
    QString workingDirectory; // empty: inherit
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    int timeoutMs = -1; // -1: no limit
};

// The child currently running, so that its owner can end it early (for
// example when an engine is released while it waits).
class RunningChild {
public:
    RunningChild();
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    ChildOutcome Run(const ChildRequest& request);
    bool IsRunning() const;
    // Kills a running child and waits for it.
    void Kill();

private:
    std::unique_ptr<QProcess> process_;
};

// The last lines of output (at most maxLines, blank lines skipped), joined by
// newlines, as UTF-8.
std::string LastLines(const QByteArray& output, int maxLines);

} // namespace kalvero
