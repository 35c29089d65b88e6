// Text helpers that need the system: formatting and code-page conversions. All text is UTF-16;
// a code page is used only where a stored format demands it.
#pragma once

#include "platform/Strings.h"

#include <cstdint>
#include <string>

namespace orvanta {

// printf-style formatting into a wide string ("%s" takes a wide string, as with MSVC).
std::wstring Format(const wchar_t* format, ...);

// Conversions through a Windows code page (CP_ACP, CP_THREAD_ACP, CP_UTF8, ...).
std::string WideToMultiByte(const std::wstring& text, uint32_t codePage);
std::wstring MultiByteToWide(const std::string& text, uint32_t codePage);

// The same through the ANSI code page.
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);

// Overwrites a password's characters (in a way the compiler keeps) and empties it.
void WipeSecret(std::wstring& secret);

} // namespace orvanta
