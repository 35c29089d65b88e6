// The LocalSystem test. Tests run as an elevated
// administrator, never as LocalSystem, so the LocalSystem answer comes through the probe.
#include "install/LocalSystem.h"

#include <gtest/gtest.h>

using namespace orvanta;

TEST(IsLocalSystemAccount, ElevatedAdministratorIsNotLocalSystem)
{
    EXPECT_FALSE(IsLocalSystemAccount());
}

TEST(IsLocalSystemAccount, ProbeReplacesTheTokenTestUntilReset)
{
    SetLocalSystemProbe([] { return true; });
    EXPECT_TRUE(IsLocalSystemAccount());
    SetLocalSystemProbe(nullptr);
    EXPECT_FALSE(IsLocalSystemAccount());
}
