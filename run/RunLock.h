// One run per package at a time: a named mutex of the session, derived from the INI file's path,
// held from before the first search to after the deferred cleanup. A run that ended without
// letting go (killed, crashed) leaves it abandoned, and the next run takes it.
#pragma once

#include "platform/UniqueResource.h"

#include <string>

namespace orvanta {

// "Local\OrvantaChainer.<hash>": the same for every spelling of one INI path (case, "/" or "\",
// doubled separators, "." and ".." steps, a long-path prefix), another for every other path.
std::wstring RunLockName(const std::wstring& iniPath);

class RunLock {
public:
    RunLock() = default;
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // False only when another run of the same package holds the lock now; a lock that cannot be
    // made at all does not stop the run (it is logged).
    bool Acquire(const std::wstring& iniPath);

private:
    UniqueHandle mutex_;
    bool held_ = false;
};

} // namespace orvanta
