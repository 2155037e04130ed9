#include "system/child_process.h"

#include "batch/run_stop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <optional>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

namespace kalvero {
namespace {

constexpr qsizetype kKeptOutput = 16 * 1024;
constexpr int kStopPollMs = 50;

void KeepHead(QByteArray& head, const QByteArray& more) {
    if (head.size() < kKeptOutput)
        head += more.left(kKeptOutput - head.size());
}

void KeepTail(QByteArray& tail, const QByteArray& more) {
    tail += more;
    if (tail.size() > kKeptOutput)
        tail.remove(0, tail.size() - kKeptOutput);
}

// Ends every process left in the group that the child led.
void KillGroup(qint64 group) {
    if (group > 0)
        ::kill(-static_cast<pid_t>(group), SIGKILL);
}

} // namespace

bool ChildResult::ExitedWith(std::initializer_list<int> accepted) const {
    if (ending != Ending::Exited)
        return false;
    for (const int status : accepted)
        if (exitCode == status)
            return true;
    return false;
}

std::string ChildResult::Describe() const {
    switch (ending) {
    case Ending::NotStarted:
        return "it could not be started: " + startError.toStdString();
    case Ending::Exited:
        return "it stopped with exit status " + std::to_string(exitCode);
    case Ending::Signalled:
        return signal > 0 ? "it was ended by signal " + std::to_string(signal) + " (" +
                                ::strsignal(signal) + ")"
                          : std::string("it ended abnormally");
    case Ending::TimedOut:
        return "it did not end in time and was ended";
    case Ending::Stopped:
        return "it was ended because the run was stopped";
    }
    return "it ended in an unknown way";
}

std::string ChildResult::Status() const {
    switch (ending) {
    case Ending::NotStarted:
        return std::string();
    case Ending::Exited:
        return "exit " + std::to_string(exitCode);
    case Ending::Signalled:
        return signal > 0 ? "signal " + std::to_string(signal) : "signal";
    case Ending::TimedOut:
    case Ending::Stopped:
        return "signal " + std::to_string(SIGKILL);
    }
    return std::string();
}

RunningChild::RunningChild() = default;

RunningChild::~RunningChild() {
    Kill();
}

bool RunningChild::IsRunning() const {
    return process_ && process_->state() != QProcess::NotRunning;
}

void RunningChild::Kill() {
    if (!IsRunning())
        return;
    KillGroup(process_->processId());
    process_->kill();
    process_->waitForFinished(-1);
}

ChildResult RunningChild::Run(const ChildRequest& request) {
    ChildResult result;
    process_ = std::make_unique<QProcess>();
    QProcess& process = *process_;
    process.setProgram(request.program);
    process.setArguments(request.arguments);
    if (!request.workingDirectory.isEmpty())
        process.setWorkingDirectory(request.workingDirectory);
    process.setProcessEnvironment(request.environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        // A group of its own, so that it can be ended with all it started;
        // and death with this program, whatever kills it.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // Signals that this program handles in a thread of its own are
        // blocked here; the child starts with none blocked.
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::getppid() != parent)
            ::_exit(127);
    });

    QByteArray head;
    QByteArray tail;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, [&] {
        const QByteArray more = process.readAllStandardOutput();
        KeepHead(head, more);
        KeepTail(tail, more);
    });

    // Made before the child starts: in a thread that Qt did not start, the
    // event loop is what gives the thread the event dispatcher that the
    // process's pipes need.
    std::optional<QEventLoop> loop;
    if (QCoreApplication::instance() != nullptr)
        loop.emplace();

    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        result.startError = process.errorString();
        process_.reset();
        return result;
    }
    const qint64 group = process.processId();

    auto endEarly = [&](ChildResult::Ending why) {
        result.ending = why;
        KillGroup(group);
        process.kill();
    };
    const bool stoppable = request.stoppable;
    auto stopWanted = [stoppable] { return stoppable && StopRequested(); };

    if (loop) {
        QObject::connect(&process, &QProcess::finished, &*loop, &QEventLoop::quit);
        QTimer limit;
        if (request.timeoutMs >= 0) {
            limit.setSingleShot(true);
            QObject::connect(&limit, &QTimer::timeout, &*loop,
                             [&] { endEarly(ChildResult::Ending::TimedOut); });
            limit.start(request.timeoutMs);
        }
        QTimer stopWatch;
        QObject::connect(&stopWatch, &QTimer::timeout, &*loop, [&] {
            if (stopWanted())
                endEarly(ChildResult::Ending::Stopped);
        });
        stopWatch.start(kStopPollMs);
        // finished is only delivered by event processing, so checking the
        // state first cannot miss it.
        if (process.state() != QProcess::NotRunning && !stopWanted())
            loop->exec();
    } else {
        int waited = 0;
        while (!process.waitForFinished(kStopPollMs)) {
            waited += kStopPollMs;
            if (stopWanted()) {
                endEarly(ChildResult::Ending::Stopped);
                break;
            }
            if (request.timeoutMs >= 0 && waited >= request.timeoutMs) {
                endEarly(ChildResult::Ending::TimedOut);
                break;
            }
        }
    }
    if (process.state() != QProcess::NotRunning) {
        if (result.ending == ChildResult::Ending::NotStarted)
            result.ending =
                stopWanted() ? ChildResult::Ending::Stopped : ChildResult::Ending::TimedOut;
        KillGroup(group);
        process.kill();
        process.waitForFinished(-1);
    }
    // Whatever the child started in its group ends with it.
    KillGroup(group);

    const QByteArray rest = process.readAllStandardOutput();
    KeepHead(head, rest);
    KeepTail(tail, rest);
    result.outputHead = head;
    result.outputTail = tail;
    if (result.ending == ChildResult::Ending::NotStarted) {
        if (process.exitStatus() == QProcess::CrashExit) {
            result.ending = ChildResult::Ending::Signalled;
            // For a child ended by a signal QProcess keeps the signal's
            // number as its exit code.
            const int code = process.exitCode();
            result.signal = code > 0 && code < NSIG ? code : 0;
        } else {
            result.ending = ChildResult::Ending::Exited;
            result.exitCode = process.exitCode();
        }
    }
    process_.reset();
    return result;
}

std::string LastLines(const QByteArray& output, int maxLines) {
    std::vector<QByteArray> lines;
    for (const QByteArray& line : output.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.push_back(trimmed);
    }
    const std::size_t first =
        lines.size() > static_cast<std::size_t>(maxLines) ? lines.size() - maxLines : 0;
    std::string text;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (!text.empty())
            text += '\n';
        text += lines[i].toStdString();
    }
    return text;
}

} // namespace kalvero
