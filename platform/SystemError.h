#pragma once

#include <windows.h>

#include <string>

namespace orvanta {

// The system's text for an error code, trailing line break included; the code in decimal
// ("%d") when the system has no text for it.
std::wstring GetSystemErrorText(DWORD code);

// The text of `code` in the message table of `module` (a loaded system DLL such as wininet), as
// the table gives it; empty when the table has none.
std::wstring ModuleMessageText(HMODULE module, DWORD code);

} // namespace orvanta
