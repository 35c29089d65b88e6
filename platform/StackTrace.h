// Symbolic stack traces through dbghelp, which is loaded from the system folder at run time.
// Symbols are searched in the chainer's own folder; frames without symbols show "-----".
#pragma once

#include <windows.h>

#include <string>

namespace orvanta {

const int kMaximumTraceFrames = 200;

// Appends the trace of `context` (the marker line, one line per frame, at most maxFrames of
// them, then the module base line). Appends nothing without a context or without dbghelp.
void CaptureStackTrace(std::wstring& text, const CONTEXT* context, int maxFrames);

// The trace of the calling thread, from the caller of this function on.
std::wstring CurrentStackTrace(int maxFrames);

// One frame line: "[0x<address>]  <name>() -> <file>:<line>\r\n", "-----" without a name and
// nothing after " -> " without a line.
std::wstring StackFrameLine(ULONG_PTR address, const std::string& symbolName, const std::string& sourceFile,
                            unsigned long sourceLine);

} // namespace orvanta
