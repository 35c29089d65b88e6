// Checks on URLs and target paths that need no system.
#pragma once

#include <string>

namespace orvanta {

// At least 2 characters, and either "\\" in front or ':' as second character.
bool IsAbsoluteTargetPath(const std::wstring& path);

// "\\server\share" of a UNC path; empty for any other path.
std::wstring ShareRootOf(const std::wstring& path);

// The URL with any "user:password@" removed, for texts that a person may see.
std::wstring UrlWithoutCredentials(const std::wstring& url);

} // namespace orvanta
