// Version resources of files: the fixed file version, the product name string and the major
// version of a library.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

// The fixed file version (dwFileVersionMS, dwFileVersionLS). Returns 0 on success, 8 when the
// buffer cannot be allocated, else the system error (never 0 on failure). On Windows 10 and
// later a file below the Windows folder is read through a temporary copy.
uint32_t GetFileVersion(const std::wstring& path, uint32_t& mostSignificant, uint32_t& leastSignificant);

// The same, reading the file itself (no copy).
uint32_t ReadFileVersionResource(const std::wstring& path, uint32_t& mostSignificant,
                                 uint32_t& leastSignificant);

// The same, reading a "shim_clone" copy made in the chainer's temporary folder and deleted
// afterwards. When no copy can be made, the file itself is read.
uint32_t ReadFileVersionThroughCopy(const std::wstring& path, uint32_t& mostSignificant,
                                    uint32_t& leastSignificant);

// True when `path` begins with `windowsFolder` (exact, case-sensitive; an empty folder never matches).
bool IsBelowWindowsFolder(const std::wstring& path, const std::wstring& windowsFolder);

// The "ProductName" string of the file's version resource, or empty.
std::wstring GetVersionResourceString(const std::wstring& path);

// The library's major version: DllGetVersion when it exports one, else the high word of its
// file version. False when it cannot be loaded, DllGetVersion fails or no version can be read.
// A name without a folder is loaded from the system folder only.
bool GetDllVersion(const std::wstring& libraryPath, uint32_t& majorVersion);

} // namespace orvanta
