// The individual searches behind RunSearch, one function per kind. Each fills its finding and
// leaves it empty on any failure.
#pragma once

#include "config/Config.h"
#include "detection/MsixFinder.h"
#include "platform/Wow64Redirection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

// Files and folders; with use64, redirection is switched off through `redirection`.
void SearchFileVersion(const std::wstring& searchString, bool use64, SearchFinding& finding,
                       const Wow64RedirectionSwitch& redirection = SystemWow64Switch());
void SearchFolderNames(const std::wstring& searchString, bool use64, SearchFinding& finding,
                       const Wow64RedirectionSwitch& redirection = SystemWow64Switch());

// A FileVersion search string without a folder, "[", "%" or "!" before its "?depth" suffix.
bool IsBareFileName(const std::wstring& searchString);
// The paths a FileVersion search string stands for: the text itself, or for a bare file name
// one candidate per drive root given (root + name + "?depth" suffix).
std::vector<std::wstring> FileSearchCandidates(const std::wstring& searchString,
                                               const std::vector<std::wstring>& driveRoots);
// Splits "path?depth" at the first "?" after the first character; the depth is the leading
// decimal digits after it (0 when none, saturating instead of overflowing).
void SplitSearchDepth(const std::wstring& candidate, std::wstring& path, uint32_t& depth);
// The roots of the fixed drives ("C:\"), in the order the system lists them.
std::vector<std::wstring> FixedDriveRoots();

// Registry.
void SearchRegistryKeyNames(const std::wstring& searchString, bool use64, SearchFinding& finding);
void SearchRegistryValueVersion(const std::wstring& searchString, bool use64, SearchFinding& finding);
void SearchRegistryKeyExists(const std::wstring& searchString, bool use64, SearchFinding& finding);
// found: the value exists (a text without a backslash names no value).
void SearchRegistryValueExists(const std::wstring& searchString, bool use64, SearchFinding& finding);
void SearchRegistryValueContent(const std::wstring& searchString, bool use64, SearchFinding& finding);
void SearchRegistryValueNames(const std::wstring& searchString, bool use64, SearchFinding& finding);

// Windows Installer.
void SearchMsiProductVersion(const std::wstring& productCode, SearchFinding& finding);
void SearchMsiUpgradeCodeVersions(const std::wstring& upgradeCode, SearchFinding& finding);
void SearchMsiComponent(const std::wstring& componentCode, SearchFinding& finding);

// MSIX and APPX packages: "name ? architecture ? publisher"; nothing is looked up before Windows 10.
// Tests hand in a listing of their own (Wine has no package manager).
void SearchAppxPackage(const std::wstring& searchString, bool windows10OrLater, SearchFinding& finding,
                       const PackageListing& listing = ListUserPackages);

} // namespace orvanta
