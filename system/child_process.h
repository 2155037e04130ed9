// Runs a program to its end: started with an argument list (never through a
// shell), with no standard input, its standard output and error merged and
// the last part kept for the failure message.
//
// The child leads a process group of its own and is sent SIGKILL by the
// kernel should this program die first, however it dies. When the child
// ends, or is ended, whatever it left running in its group is ended too.
//
// While the program runs, a local event loop processes all events, so that
// windows keep repainting; the windows themselves keep user input away during
// a run. Without a QCoreApplication the wait simply blocks. Either way the
// wait watches for a requested stop (batch/run_stop.h) and a time limit. Any
// thread may run children, each through a RunningChild of its own.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <memory>
#include <string>

class QProcess;

namespace kalvero {

// How a child ended, read in one place.
struct ChildResult {
    enum class Ending {
        NotStarted, // startError says why
        Exited,     // exitCode holds its status
        Signalled,  // ended by signal
        TimedOut,   // ended by us when its time ran out
        Stopped,    // ended by us on a stop request
    };
    Ending ending = Ending::NotStarted;
    QString startError;
    int exitCode = 0;
    int signal = 0;        // when known
    QByteArray outputHead; // the first bytes of its merged output
    QByteArray outputTail; // the last bytes of its merged output

    // Whether it exited with one of the accepted statuses.
    bool ExitedWith(std::initializer_list<int> accepted) const;
    // How it ended, as the end of a sentence: "it stopped with exit status 3",
    // "it was ended by signal 9 (Killed)", "it could not be started: …".
    std::string Describe() const;
    // How it ended, in short: "exit 3", "signal 9"; empty when it never ran.
    std::string Status() const;
};

struct ChildRequest {
    QString program;
    QStringList arguments;
    QString workingDirectory; // empty: inherit
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    int timeoutMs = -1;    // -1: no limit
    bool stoppable = true; // whether a requested stop ends it
};

// The child currently running, so that its owner can end it early (for
// example when an engine is released while it waits).
class RunningChild {
public:
    RunningChild();
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    ChildResult Run(const ChildRequest& request);
    bool IsRunning() const;
    // Kills a running child with its process group and waits for it.
    void Kill();

private:
    std::unique_ptr<QProcess> process_;
};

// The last lines of output (at most maxLines, blank lines skipped), joined by
// newlines, as UTF-8.
std::string LastLines(const QByteArray& output, int maxLines);

} // namespace kalvero
