// Whether the chainer runs as the LocalSystem account (S-1-5-18), as it does when a
// deployment service starts it.
#pragma once

namespace orvanta {

bool IsLocalSystemAccount();

} // namespace orvanta
