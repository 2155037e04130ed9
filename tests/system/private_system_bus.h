// A private D-Bus daemon that the shut-down tests use as their system bus,
// with python3-dbusmock's logind template on it. The tests talk to no other
// bus: PrivateBusInUse() confirms that the process's system bus is this
// daemon before anything is called on it.
#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace kalvero::testing {

class PrivateSystemBus {
public:
    PrivateSystemBus();
    ~PrivateSystemBus();
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    // Starts dbus-daemon with a configuration of its own and points
    // DBUS_SYSTEM_BUS_ADDRESS (and the session bus too) at it. Must run before
    // the process first uses QDBusConnection.
    ::testing::AssertionResult Start();
    // Whether QDBusConnection::systemBus() is this daemon: the environment
    // names its address and the bus daemon reports this daemon's process id.
    ::testing::AssertionResult PrivateBusInUse() const;
    // Starts the logind mock, logging its calls, and waits until it is on the bus.
    ::testing::AssertionResult StartLogindMock();
    void StopLogindMock();
    // The method calls the mock has logged, one per line ("PowerOff False").
    std::string LoggedCalls() const;

private:
    QTemporaryDir folder_;
    QProcess daemon_;
    QProcess mock_;
    std::string address_;
};

} // namespace kalvero::testing
