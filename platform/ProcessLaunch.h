// Starting other programs: a plain start that waits, a shell start that waits and hands over
// the foreground, a detached shell start that may elevate, and a wait that pumps messages.
// None of them logs; the callers do.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

namespace orvanta {

// CreateProcessW and an unbounded wait. exitCode receives the process's exit code, or the
// start's GetLastError when it returns false. Empty texts are passed as null.
bool RunProcessAndWait(const std::wstring& application, const std::wstring& commandLine, uint32_t creationFlags,
                       uint32_t* exitCode);

// ShellExecuteExW "open" and an unbounded wait; a leading "\\?\" of the file is dropped, the
// working folder defaults to the file's folder, quiet hides the window. exitCode as above.
bool ShellExecuteAndWait(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder,
                         bool quiet, uint32_t* exitCode);

// ShellExecuteExW; true when it succeeded.
using ShellExecuteFunction = bool (*)(SHELLEXECUTEINFOW* info);
bool SystemShellExecute(SHELLEXECUTEINFOW* info);

// Starts through `shellExecute` without waiting ("runas" when elevate); always true: a failed
// start is not reported. Tests, which cannot watch "runas" or a start that would show the
// shell's error box, hand in their own function.
bool ShellExecuteDetached(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder,
                          bool elevate, ShellExecuteFunction shellExecute = &SystemShellExecute);

// Waits for the handle while dispatching the calling thread's messages; returns the wait's result
// (WAIT_OBJECT_0, WAIT_ABANDONED for a mutex, WAIT_FAILED).
DWORD WaitDispatchingMessages(HANDLE handle);
// The same; true when signalled.
bool WaitWithMessagePump(HANDLE handle);

// Brings the first visible captioned window of the process (or of its children) to the top.
void BringProcessWindowToTop(HANDLE process);

} // namespace orvanta
