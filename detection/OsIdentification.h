// Names of the running Windows as the configuration's OS lists write them, and the OS and
// language checks that exclude prerequisites. The name functions and the list checks that take
// an OsVersionInfo are pure; the others use the process-wide record.
#pragma once

#include "platform/OsVersion.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

// A list equal to one of these texts excludes every system of its platform.
extern const wchar_t kWholePlatformX86[];
extern const wchar_t kWholePlatformX64[];

// "Windows 10 x64", "Windows Server 2008 x86", ... or "OsNotIdentified".
std::wstring CoarseOsName(const OsVersionInfo& info);
// "Windows 10 version 22H2 x64", "Windows 7 SP1 x86", ... or "OsNotIdentified".
std::wstring DetailedOsName(const OsVersionInfo& info);

// The names of the running system, computed once each.
const std::wstring& GetCoarseOsName();
const std::wstring& GetDetailedOsName();

// The pieces of a list separated by ", " (not trimmed; no empty last piece after a final separator).
std::vector<std::wstring> SplitOsList(const std::wstring& text);

// True when the system is allowed: WinNT64Versions applies on 64-bit Windows, WinNTVersions
// otherwise, and either names the systems on which the prerequisite must not be installed.
bool OsMatches(const std::wstring& winNTVersions, const std::wstring& winNT64Versions, const OsVersionInfo& info);
bool OsMatches(const std::wstring& winNTVersions, const std::wstring& winNT64Versions);

// True when the list is empty or one of its ";"-terminated numbers equals the language id.
bool LanguageListAccepts(const std::wstring& languageList, uint16_t languageId);
// The same for the system default language; logs it when logging is on and the list is not empty.
bool LanguageMatches(const std::wstring& languageList);

} // namespace orvanta
