// [FolderProperty], %ENVVAR% and !registry value! references in configuration values.
#pragma once

#include <string>

namespace orvanta {

// The text with its references replaced; use64 selects the 64-bit folders and registry view.
std::wstring ExpandReferences(const std::wstring& text, bool use64);

// The value of a named folder (case-sensitive name); false when unknown or unresolvable.
bool GetFolderProperty(const std::wstring& name, bool use64, std::wstring& value);

} // namespace orvanta
