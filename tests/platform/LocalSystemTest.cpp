// Tests run as an elevated administrator, never as LocalSystem, so the LocalSystem answer
// comes through the probe.
#include "platform/LocalSystem.h"

#include <gtest/gtest.h>

using namespace orvanta;

TEST(IsLocalSystemAccount, AdministratorIsNotLocalSystemAndTheProbeOverridesUntilReset)
{
    EXPECT_FALSE(IsLocalSystemAccount());
    SetLocalSystemProbe([] { return true; });
    EXPECT_TRUE(IsLocalSystemAccount());
    SetLocalSystemProbe(nullptr);
    EXPECT_FALSE(IsLocalSystemAccount());
}
