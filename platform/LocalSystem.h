// Whether the chainer runs as the LocalSystem account (S-1-5-18), as it does when a
// deployment service starts it.
#pragma once

namespace orvanta {

bool IsLocalSystemAccount();

// Tests cannot run as LocalSystem: they replace the probe. Null restores the real one.
using LocalSystemProbe = bool (*)();
void SetLocalSystemProbe(LocalSystemProbe probe);

} // namespace orvanta
