// The hand-off of the rest of the cleanup to the package's PowerShell script: the script is
// copied to a fresh name in the chainer's temporary folder and started detached with the paths
// and a retry count; the chainer does not wait for it.
#pragma once

#include <string>
#include <vector>

namespace orvanta {

struct PowerShellCleanup {
    std::vector<std::wstring> paths;  // no two equal ignoring case
    std::wstring scriptPath;
    bool elevated = false;
    int retryCount = 10;

    // True when the script was started, or when there was nothing to hand on. False when the
    // script could not be copied or PowerShell is missing; the copy is then removed again.
    bool Run() const;
};

// Full path of the system's Windows PowerShell, or empty when it is not there.
std::wstring PowerShellPath();

} // namespace orvanta
