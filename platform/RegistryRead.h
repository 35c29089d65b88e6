// Registry paths as the configuration writes them ("HKLM\Software\Vendor\Value") and
// reading a value as text.
#pragma once

#include "platform/UniqueResource.h"

#include <string>

namespace orvanta {

// The predefined key named by the text before the first backslash (case ignored);
// HKEY_USERS for any name it does not know.
HKEY RegistryRootFromName(const std::wstring& name);

// Opens "root\key path" with the given access. A text without a backslash or with an empty key
// path names no key (the predefined root itself is never handed out): an invalid key, as for
// any other failure.
UniqueKey OpenRegistryKey(const std::wstring& path, REGSAM access);

// Opens the key for reading; the 64-bit view is used when use64 is set and Windows is 64-bit.
// An invalid key when it cannot be opened.
UniqueKey OpenRegistryPath(const std::wstring& path, bool use64);

// Splits "root\key\value" at the last backslash; false when there is no backslash.
bool SplitRegistryValuePath(const std::wstring& text, std::wstring& keyPath, std::wstring& valueName);

// REG_SZ, REG_EXPAND_SZ (unexpanded) and REG_MULTI_SZ as text without trailing zeros,
// REG_DWORD as "%u"; false for other types and errors.
bool ReadRegistryValueText(HKEY key, const std::wstring& valueName, std::wstring& text);

// The text of the value that "root\key\value" names; empty when it cannot be read.
std::wstring ReadRegistryReference(const std::wstring& path, bool use64);

} // namespace orvanta
