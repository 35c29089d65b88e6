// Small text pieces of the findings: quoting, the nearest known name for a misspelt one, and
// what version and digest texts hold.
#pragma once

#include "config/VersionValue.h"

#include <string>
#include <vector>

namespace orvanta_ini {

// 'text' in UTF-8.
std::string Quoted(const std::wstring& text);
std::string Utf8(const std::wstring& text);

// Only A to Z fold.
wchar_t LowerAscii(wchar_t c);

// The candidate a mistyped name most likely meant: equal but for case, or a few edits away;
// empty when none is close.
std::wstring Nearest(const std::wstring& name, const std::vector<std::wstring>& candidates);
// " (did you mean 'x'?)", or empty.
std::string Suggestion(const std::wstring& nearest);

// The decimal digits at the end of a key ("Searchtype12" gives "12").
std::wstring TrailingDigits(const std::wstring& key);
// True when the text begins with `count` hexadecimal digits.
bool IsHexDigits(const std::wstring& text, size_t count);
// The runs of ASCII digits, which ParseVersion takes as version parts.
size_t CountDigitRuns(const std::wstring& text);
// All four parts: "1.2.0.0".
std::string ComponentsText(const orvanta::VersionValue& version);

} // namespace orvanta_ini
