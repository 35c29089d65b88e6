// What the chainer refuses to start: no path at all, a folder (the shell would open it in
// Explorer, which never ends) and the chainer's own executable (which would start itself again,
// without end).
#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

// 0 when `path` may be started; otherwise the error a refused start reports: ERROR_FILE_NOT_FOUND,
// as for a missing file, since there is no program to run there.
uint32_t CheckLaunchTarget(const std::wstring& path);

// True when `path` names the running executable: the full paths (".." and "." resolved, short
// names made long, without "\\?\") are equal without regard to case.
bool IsOwnExecutable(const std::wstring& path);

// The form in which IsOwnExecutable compares paths; the text unchanged when it cannot be resolved.
std::wstring ComparablePath(const std::wstring& path);

} // namespace orvanta
