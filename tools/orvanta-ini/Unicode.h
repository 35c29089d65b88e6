// Conversions between the chainer's text (UTF-16 code units, one per wchar_t whatever its
// width) and UTF-8 for the console and for input files.
#pragma once

#include "platform/Strings.h"

#include <string>

namespace orvanta_ini {

using orvanta::ToUtf8;
// UTF-8 to UTF-16 code units; false when the bytes are not valid UTF-8.
bool FromUtf8(const std::string& bytes, std::wstring& units);

} // namespace orvanta_ini
