#include "platform/child_process.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <vector>

namespace kalvero {
namespace {

constexpr qsizetype kKeptOutput = 16 * 1024;

void KeepTail(QByteArray& tail, const QByteArray& more) {
    tail += more;
    if (tail.size() > kKeptOutput)
        tail.remove(0, tail.size() - kKeptOutput);
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
    process_->kill();
    process_->waitForFinished(-1);
}

ChildOutcome RunningChild::Run(const ChildRequest& request) {
    ChildOutcome outcome;
    process_ = std::make_unique<QProcess>();
    QProcess& process = *process_;
    process.setProgram(request.program);
    process.setArguments(request.arguments);
    if (!request.workingDirectory.isEmpty())
        process.setWorkingDirectory(request.workingDirectory);
    process.setProcessEnvironment(request.environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());

    QByteArray tail;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process,
                     [&] { KeepTail(tail, process.readAllStandardOutput()); });

    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        outcome.startError = process.errorString();
        process_.reset();
        return outcome;
    }
    outcome.started = true;

    if (QCoreApplication::instance() != nullptr) {
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer limit;
        if (request.timeoutMs >= 0) {
            limit.setSingleShot(true);
            QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
                outcome.timedOut = true;
                process.kill();
            });
            limit.start(request.timeoutMs);
        }
        // finished is only delivered by event processing, so checking the
        // state first cannot miss it.
        if (process.state() != QProcess::NotRunning)
            loop.exec();
    } else if (!process.waitForFinished(request.timeoutMs)) {
        outcome.timedOut = true;
        process.kill();
        process.waitForFinished(-1);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(-1);
    }

    KeepTail(tail, process.readAllStandardOutput());
    outcome.outputTail = tail;
    outcome.crashed = process.exitStatus() == QProcess::CrashExit;
    outcome.exitCode = process.exitCode();
    // For a child ended by a signal QProcess keeps the signal's number as
    // its exit code.
    if (outcome.crashed && outcome.exitCode > 0 && outcome.exitCode < NSIG)
        outcome.signal = outcome.exitCode;
    process_.reset();
    return outcome;
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
