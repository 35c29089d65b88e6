// What the chainer refuses to start: no path at all, a folder (the shell would open it in
// Explorer, which never ends), the chainer's own executable (which would start itself again,
// without end), a missing file and a path longer than the shell takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvanta {

// The longest path a start through the shell or CreateProcessW takes: MAX_PATH (260) less the
// terminating null, the classic path limit. The shell works in MAX_PATH buffers whatever the
// process's long-path setting: Windows fails longer paths, Wine's shell32 faults on them.
constexpr size_t kMaxStartablePathLength = 259;

// 0 when `path` is not empty, not a folder and not the chainer itself; otherwise the error a
// refused start reports: ERROR_FILE_NOT_FOUND, as for a missing file, since there is no program
// to run there.
uint32_t CheckLaunchTarget(const std::wstring& path);

// For a start by path (the shell, CreateProcessW): 0 when `path` names an existing file of at most
// kMaxStartablePathLength characters (without "\\?\"). ERROR_FILE_NOT_FOUND when nothing is there,
// looked up in the long-path form so that a long path gets a true answer; otherwise
// ERROR_FILENAME_EXCED_RANGE for a path too long to start, which is logged ("Path too long to
// start: ...").
uint32_t CheckStartablePath(const std::wstring& path);

// True when `path` names the running executable: the full paths (".." and "." resolved, short
// names made long, without "\\?\") are equal without regard to case.
bool IsOwnExecutable(const std::wstring& path);

// The form in which IsOwnExecutable compares paths; the text unchanged when it cannot be resolved.
std::wstring ComparablePath(const std::wstring& path);

} // namespace orvanta
