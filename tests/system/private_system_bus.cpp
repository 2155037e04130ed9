#include "tests/system/private_system_bus.h"

#include "tests/support/private_bus_configuration.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kalvero::testing {
namespace {

constexpr int kStartTimeoutMs = 20000;

void Stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

PrivateSystemBus::PrivateSystemBus() = default;

PrivateSystemBus::~PrivateSystemBus() {
    StopLogindMock();
    Stop(daemon_);
}

::testing::AssertionResult PrivateSystemBus::Start() {
    if (!folder_.isValid())
        return ::testing::AssertionFailure() << "no temporary folder";
    const std::string folder = QFile::encodeName(folder_.path()).toStdString();
    std::ofstream(folder + "/bus.conf")
        << PrivateBusConfiguration("kalvero-test", "unix:path=" + folder + "/bus");

    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--config-file=") + folder_.path() + "/bus.conf",
                          QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                          QStringLiteral("--print-address=1")});
    daemon_.setStandardInputFile(QProcess::nullDevice());
    daemon_.start();
    if (!daemon_.waitForStarted(kStartTimeoutMs))
        return ::testing::AssertionFailure()
               << "dbus-daemon did not start: " << daemon_.errorString().toStdString();
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!daemon_.canReadLine() && !deadline.hasExpired())
        daemon_.waitForReadyRead(200);
    address_ = daemon_.readLine().trimmed().toStdString();
    // The address carries the daemon's guid, which the client checks too.
    if (address_.rfind("unix:path=" + folder + "/bus,guid=", 0) != 0)
        return ::testing::AssertionFailure() << "dbus-daemon gave no address: " << address_;

    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PrivateSystemBus::PrivateBusInUse() const {
    const char* environment = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address_.empty() || environment == nullptr || environment != address_)
        return ::testing::AssertionFailure()
               << "refusing to run: DBUS_SYSTEM_BUS_ADDRESS is not the private bus ("
               << (environment ? environment : "unset") << ")";
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return ::testing::AssertionFailure() << "the private bus is not connected";
    // The bus daemon answers for its own name with its process id: it must
    // be the daemon this test started.
    QDBusMessage query = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    query << QStringLiteral("org.freedesktop.DBus");
    const QDBusMessage reply = bus.call(query);
    const qint64 pid = reply.arguments().value(0).toLongLong();
    if (reply.type() != QDBusMessage::ReplyMessage || pid != daemon_.processId())
        return ::testing::AssertionFailure()
               << "refusing to run: the system bus is process " << pid << ", not the private "
               << "daemon " << daemon_.processId();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PrivateSystemBus::StartLogindMock() {
    if (::testing::AssertionResult own = PrivateBusInUse(); !own)
        return own;
    mock_.setProgram(QStringLiteral("/usr/bin/python3"));
    mock_.setArguments({QStringLiteral("-m"), QStringLiteral("dbusmock"),
                        QStringLiteral("--system"), QStringLiteral("--template"),
                        QStringLiteral("logind"), QStringLiteral("-l"),
                        folder_.path() + "/calls.log"});
    mock_.setProcessChannelMode(QProcess::MergedChannels);
    mock_.setStandardInputFile(QProcess::nullDevice());
    mock_.start();
    if (!mock_.waitForStarted(kStartTimeoutMs))
        return ::testing::AssertionFailure() << "dbusmock did not start";
    QDBusConnectionInterface* names = QDBusConnection::systemBus().interface();
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!names->isServiceRegistered(QStringLiteral("org.freedesktop.login1")).value()) {
        if (deadline.hasExpired() || mock_.state() == QProcess::NotRunning)
            return ::testing::AssertionFailure()
                   << "the logind mock did not appear: " << mock_.readAll().toStdString();
        QThread::msleep(50);
    }
    return ::testing::AssertionSuccess();
}

void PrivateSystemBus::StopLogindMock() {
    Stop(mock_);
}

std::string PrivateSystemBus::LoggedCalls() const {
    std::ifstream log(QFile::encodeName(folder_.path()).toStdString() + "/calls.log");
    std::string calls;
    for (std::string line; std::getline(log, line);) {
        // "<time> <method> <arguments>": keep method and arguments.
        const std::size_t blank = line.find(' ');
        calls += (blank == std::string::npos ? line : line.substr(blank + 1)) + "\n";
    }
    return calls;
}

} // namespace kalvero::testing
