// Runs a program to its end: started with an argument list (never through a
// shell), with no standard input, its standard output and error merged and
// the last part kept for the failure message.
//
// The child leads a process group of its own. Run plainly, it is sent
// SIGKILL by the kernel should this program die first, however it dies, and
// when it ends, or is ended, whatever it left running in its group is ended
// too. Run under the supervisor (system/supervisor.h), which is ended with
// SIGTERM, nothing it started outlives it or this program, in whatever group.
//
// While the program runs, a local event loop processes all events, so that
// windows keep repainting; the windows themselves keep user input away during
// a run. Without a QCoreApplication the wait simply blocks. Either way the
// wait watches for a requested stop (batch/run_stop.h) and a time limit,
// which is never reached early: it is checked against the monotonic clock
// from the moment the child has started. Any thread may run children, each
// through a RunningChild of its own.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <initializer_list>
#include <memory>
#include <vector>

#include <string>

class QEventLoop;
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
    std::chrono::milliseconds timeLimit{0}; // zero or less: no limit
    // Whether a requested stop ends it. Such a child ended by SIGTERM, SIGINT,
    // SIGHUP or SIGUSR1 counts as stopped when the stop request follows within a
    // moment: a signal to a whole job reaches the child and this program
    // at about the same time.
    bool stoppable = true;
    // When given, the program runs under this supervisor, which removes
    // supervisedFolder should this program die.
    QString supervisor;
    QString supervisedFolder;
    // Under a supervisor, the program's arguments and working folder as the
    // bytes they are, for names that are no valid text in the system's
    // encoding; when given, arguments and workingDirectory are not used.
    std::vector<std::string> argumentBytes;
    std::string workingDirectoryBytes;
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
    // Ends a running child with everything it started and waits for it.
    void Kill();

private:
    void Start(const ChildRequest& request);
    // Ends the child early (once), with ending as the reason.
    void EndEarly(ChildResult& result, ChildResult::Ending ending);
    void WaitInLoop(QEventLoop& loop, const ChildRequest& request, ChildResult& result);
    void WaitBlocking(const ChildRequest& request, ChildResult& result);
    void ReadEnding(ChildResult& result) const;

    std::unique_ptr<QProcess> process_;
    bool supervised_ = false;
};

// The last lines of output (at most maxLines, blank lines skipped), joined by
// newlines, as UTF-8.
std::string LastLines(const QByteArray& output, int maxLines);

} // namespace kalvero
