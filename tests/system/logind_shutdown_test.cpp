// The shut-down request against a logind mock on a private system bus: one
// plain PowerOff without interactive authorisation, and a quiet false when
// logind cannot be reached.
#include "system/logind_shutdown.h"
#include "tests/system/private_system_bus.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kalvero {
namespace {

TEST(LogindShutDown, AsksLogindOnceForAPlainPowerOff) {
    testing::PrivateSystemBus bus;
    ASSERT_TRUE(bus.Start());
    // Never reach any bus but the private one.
    ASSERT_TRUE(bus.PrivateBusInUse());
    ASSERT_TRUE(bus.StartLogindMock());

    EXPECT_TRUE(LogindShutDown().RequestShutDown());
    EXPECT_EQ(bus.LoggedCalls(), "PowerOff False\n");

    // logind gone: an error reply, reported as false and nothing more.
    bus.StopLogindMock();
    ASSERT_TRUE(bus.PrivateBusInUse());
    EXPECT_FALSE(LogindShutDown().RequestShutDown());
}

} // namespace
} // namespace kalvero

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
