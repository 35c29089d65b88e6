// Small text helpers shared by every subsystem. All text is UTF-16; the ANSI code page is
// used only where a stored format demands it.
#pragma once

#include <string>

namespace orvanta {

// printf-style formatting into a wide string ("%s" takes a wide string, as with MSVC).
std::wstring Format(const wchar_t* format, ...);

bool Contains(const std::wstring& text, const std::wstring& part);
bool StartsWith(const std::wstring& text, const std::wstring& prefix);
bool EndsWith(const std::wstring& text, const std::wstring& suffix);

std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);

// "path\" unless the text is empty or already ends with a backslash.
std::wstring WithTrailingBackslash(const std::wstring& path);

} // namespace orvanta
