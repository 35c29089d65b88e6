// Access to the chainer's own resources.
#pragma once

#include <windows.h>

#include <string>

namespace orvanta {

// The text of a string-table entry of the executable; empty when there is none.
std::wstring LoadStringResource(UINT id);

// "%s" placeholders of a resource text filled in order with the given values.
std::wstring FillPlaceholders(const std::wstring& format, const std::wstring& first,
                              const std::wstring& second = std::wstring());

} // namespace orvanta
