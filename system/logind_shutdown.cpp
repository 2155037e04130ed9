#include "system/logind_shutdown.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace kalvero {
namespace {

constexpr int kReplyTimeoutMs = 10000;

} // namespace

bool LogindShutDown::RequestShutDown() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false; // interactive: no polkit dialogue
    call.setInteractiveAuthorizationAllowed(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace kalvero
