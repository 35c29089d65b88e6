#pragma once

#include <windows.h>

#include <string>

namespace orvanta {

// The system's text for an error code, trailing line break included; the code in decimal
// ("%d") when the system has no text for it.
std::wstring GetSystemErrorText(DWORD code);

} // namespace orvanta
