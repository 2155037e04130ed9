// Without a system bus the shut-down request returns false quietly. The
// address points at a socket that does not exist, so no real bus is reached.
#include "system/logind_shutdown.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kalvero {
namespace {

TEST(LogindShutDown, WithoutASystemBusReturnsFalse) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray address = "unix:path=" + folder.path().toUtf8() + "/no-bus";
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.constData(), 1);
    EXPECT_FALSE(LogindShutDown().RequestShutDown());
}

} // namespace
} // namespace kalvero

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
