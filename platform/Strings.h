// Pure text helpers shared by every layer. No system headers: the INI reader and the
// configuration model build on them outside Windows too.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

bool Contains(const std::wstring& text, const std::wstring& part);
bool StartsWith(const std::wstring& text, const std::wstring& prefix);
bool EndsWith(const std::wstring& text, const std::wstring& suffix);
// Only A to Z fold, as the C library's comparisons do in the "C" locale.
bool EqualsIgnoringAsciiCase(const std::wstring& text, const std::wstring& other);
bool StartsWithIgnoringAsciiCase(const std::wstring& text, const std::wstring& prefix);

// UTF-16 code units (one per wchar_t, whatever its width) to UTF-8; a lone surrogate becomes
// U+FFFD.
std::string ToUtf8(const std::wstring& units);

// "path\" unless the text is empty or already ends with a backslash.
std::wstring WithTrailingBackslash(const std::wstring& path);

// White space as the C library's wide-character classification has it (space, tab, CR, LF,
// vertical tab, form feed and the Unicode spaces).
bool IsWhiteSpace(wchar_t c);
bool IsSpaceOrTab(wchar_t c);
// The text without the characters at both ends for which `isBlank` holds.
std::wstring Trim(const std::wstring& text, bool (*isBlank)(wchar_t) = IsWhiteSpace);

// Reads the decimal digits from `position` up to the first other character, accumulating in
// 32 bits with wrap-around (no overflow check); `position` ends after the digits.
uint32_t ReadDecimalDigits(const std::wstring& text, size_t& position);
// Leading spaces, one optional "-", one optional "+", digits; 32-bit wrap-around, no check.
int32_t ParseDecimal(const std::wstring& text);
// The same form in 64 bits (sizes of 4 GiB and more).
int64_t ParseDecimal64(const std::wstring& text);
// The decimal digits of `value` (std::to_wstring would bring in the C library's whole printf).
std::wstring DecimalText(uint64_t value);

} // namespace orvanta
