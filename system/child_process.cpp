#include "system/child_process.h"

#include "batch/run_stop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <climits>
#include <csignal>
#include <optional>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>

namespace kalvero {
namespace {

using Clock = std::chrono::steady_clock;

constexpr qsizetype kKeptOutput = 16 * 1024;
constexpr int kStopPollMs = 50;
// How long a child ended by a stop signal waits for this program's own stop.
constexpr std::chrono::milliseconds kStopArrival{2000};

// The first and the last bytes of a child's merged output.
struct KeptOutput {
    QByteArray head;
    QByteArray tail;
    void Keep(const QByteArray& more) {
        if (head.size() < kKeptOutput)
            head += more.left(kKeptOutput - head.size());
        tail += more;
        if (tail.size() > kKeptOutput)
            tail.remove(0, tail.size() - kKeptOutput);
    }
};

// A moment on the monotonic clock a given time from now, or never (no limit,
// or one beyond the clock's range).
class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds limit) {
        if (limit.count() <= 0)
            return;
        const Clock::time_point now = Clock::now();
        if (limit <
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now))
            at_ = now + limit;
    }
    bool Never() const { return !at_; }
    bool Passed() const { return at_ && Clock::now() >= *at_; }
    // The whole milliseconds until it passes, rounded up, at most cap.
    int MillisecondsLeft(int cap = INT_MAX) const {
        if (!at_)
            return cap;
        const Clock::duration left = *at_ - Clock::now();
        if (left <= Clock::duration::zero())
            return 0;
        const auto rounded = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        return rounded < cap ? static_cast<int>(rounded) : cap;
    }

private:
    std::optional<Clock::time_point> at_;
};

// Ends every process left in the group that the child led.
void KillGroup(qint64 group) {
    if (group > 0)
        ::kill(-static_cast<pid_t>(group), SIGKILL);
}

// The signals that stop the programs' runs.
bool IsStopSignal(int signal) {
    return signal == SIGTERM || signal == SIGINT || signal == SIGHUP || signal == SIGUSR1;
}

// Whether a stop has been requested, or is within kStopArrival; with an
// application, its events are processed meanwhile, since the stop request
// of a signal may come through them.
bool StopArrives(bool processEvents) {
    const Deadline deadline(kStopArrival);
    while (!StopRequested() && !deadline.Passed()) {
        if (processEvents)
            QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(kStopPollMs / 5));
    }
    return StopRequested();
}

} // namespace

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
    ChildResult ignored;
    EndEarly(ignored, ChildResult::Ending::Stopped);
    process_->waitForFinished(-1);
}

void RunningChild::Start(const ChildRequest& request) {
    QProcess& process = *process_;
    supervised_ = !request.supervisor.isEmpty();
    const pid_t parent = ::getpid();
    if (supervised_ && !request.argumentBytes.empty()) {
        // Bytes pass through the supervisor's command line as hex.
        QStringList arguments{
            QString::number(parent), request.supervisedFolder, QStringLiteral("--hex"),
            QString::fromLatin1(QByteArray::fromStdString(request.workingDirectoryBytes).toHex()),
            QString::fromLatin1(QFile::encodeName(request.program).toHex())};
        for (const std::string& argument : request.argumentBytes)
            arguments << QString::fromLatin1(QByteArray::fromStdString(argument).toHex());
        process.setProgram(request.supervisor);
        process.setArguments(arguments);
    } else if (supervised_) {
        process.setProgram(request.supervisor);
        process.setArguments(
            QStringList{QString::number(parent), request.supervisedFolder, request.program} +
            request.arguments);
    } else {

        process.setProgram(request.program);
        process.setArguments(request.arguments);
    }
    if (!request.workingDirectory.isEmpty())
        process.setWorkingDirectory(request.workingDirectory);
    process.setProcessEnvironment(request.environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    const bool supervised = supervised_;
    process.setChildProcessModifier([parent, supervised] {
        // A group of its own, so that it can be ended with all it started,
        // and away from the terminal's signals. Unsupervised, death with
        // this program, whatever kills it; the supervisor asks for a signal
        // of its own, which it catches.
        ::setpgid(0, 0);
        if (!supervised) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(127);
        }
        // Signals that this program handles in a thread of its own are
        // blocked here; the child starts with none blocked.
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
    });
    process.start(QIODevice::ReadOnly);
}

void RunningChild::EndEarly(ChildResult& result, ChildResult::Ending ending) {
    if (result.ending != ChildResult::Ending::NotStarted)
        return;
    result.ending = ending;
    const qint64 pid = process_->processId();
    if (supervised_) {
        if (pid > 0)
            ::kill(static_cast<pid_t>(pid), SIGTERM);
        return;
    }
    KillGroup(pid);
    process_->kill();
}

void RunningChild::WaitInLoop(QEventLoop& loop, const ChildRequest& request, ChildResult& result) {
    QProcess& process = *process_;
    const bool stoppable = request.stoppable;
    // Measured from here, when the child has started: never early.
    const Deadline deadline(request.timeLimit);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer limit;
    limit.setTimerType(Qt::PreciseTimer);
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        if (deadline.Passed())
            EndEarly(result, ChildResult::Ending::TimedOut);
        else
            limit.start(deadline.MillisecondsLeft());
    });
    if (!deadline.Never())
        limit.start(deadline.MillisecondsLeft());
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &loop, [&] {
        if (stoppable && StopRequested())
            EndEarly(result, ChildResult::Ending::Stopped);
    });
    stopWatch.start(kStopPollMs);
    // finished is only delivered by event processing, so checking the state
    // first cannot miss it.
    if (stoppable && StopRequested())
        EndEarly(result, ChildResult::Ending::Stopped);
    else if (process.state() != QProcess::NotRunning)
        loop.exec();
}

void RunningChild::WaitBlocking(const ChildRequest& request, ChildResult& result) {
    const Deadline deadline(request.timeLimit);
    while (process_->state() != QProcess::NotRunning &&
           !process_->waitForFinished(deadline.MillisecondsLeft(kStopPollMs))) {
        if (request.stoppable && StopRequested()) {
            EndEarly(result, ChildResult::Ending::Stopped);
            return;
        }
        if (deadline.Passed()) {
            EndEarly(result, ChildResult::Ending::TimedOut);
            return;
        }
    }
}

void RunningChild::ReadEnding(ChildResult& result) const {
    if (result.ending != ChildResult::Ending::NotStarted)
        return;
    if (process_->exitStatus() == QProcess::CrashExit) {
        result.ending = ChildResult::Ending::Signalled;
        // For a child ended by a signal QProcess keeps the signal's number
        // as its exit code.
        const int code = process_->exitCode();
        result.signal = code > 0 && code < NSIG ? code : 0;
    } else {
        result.ending = ChildResult::Ending::Exited;
        result.exitCode = process_->exitCode();
    }
}

ChildResult RunningChild::Run(const ChildRequest& request) {
    ChildResult result;
    process_ = std::make_unique<QProcess>();
    QProcess& process = *process_;
    KeptOutput output;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process,
                     [&] { output.Keep(process.readAllStandardOutput()); });
    // Made before the child starts: in a thread that Qt did not start, the
    // event loop is what gives the thread the event dispatcher that the
    // process's pipes need.
    std::optional<QEventLoop> loop;
    if (QCoreApplication::instance() != nullptr)
        loop.emplace();

    Start(request);
    if (!process.waitForStarted(-1)) {
        result.startError = process.errorString();
        process_.reset();
        return result;
    }
    const qint64 group = process.processId();
    if (loop)
        WaitInLoop(*loop, request, result);
    else
        WaitBlocking(request, result);
    // The loop also ends when the application exits: the program is ending.
    if (process.state() != QProcess::NotRunning)
        EndEarly(result, ChildResult::Ending::Stopped);
    process.waitForFinished(-1);
    // Whatever an unsupervised child started in its group ends with it.
    if (!supervised_)
        KillGroup(group);

    output.Keep(process.readAllStandardOutput());
    result.outputHead = output.head;
    result.outputTail = output.tail;
    ReadEnding(result);
    if (request.stoppable && result.ending == ChildResult::Ending::Signalled &&
        IsStopSignal(result.signal) && StopArrives(loop.has_value()))
        result.ending = ChildResult::Ending::Stopped;
    process_.reset();
    return result;
}

} // namespace kalvero
