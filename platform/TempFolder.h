// The chainer's temporary folder and unique temporary files.
#pragma once

#include <string>

namespace orvanta {

// The temporary folder, normalised (no trailing backslash); computed once per process.
// Empty when the system gave none.
std::wstring GetTempFolder();
// The computation behind GetTempFolder, uncached. As LocalSystem the folder is the system's
// private one (GetTempPath2W, else Windows\SystemTemp), created for SYSTEM and Administrators only.
std::wstring ComputeTempFolder(bool localSystem);

// Full path of a new empty file in `folder` (with `extension` when given), or empty on failure.
std::wstring CreateTempFileName(const std::wstring& folder, const std::wstring& prefix,
                                const std::wstring& extension);

} // namespace orvanta
