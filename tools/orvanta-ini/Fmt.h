// `fmt`: any UTF-8 or UTF-16 text with any line ends rewritten in the chainer's format, UTF-16
// LE with byte-order mark and CR LF line ends; nothing else changes.
#pragma once

#include <string>

namespace orvanta_ini {

// False (with the reason in `error`) when the bytes are neither UTF-16 with byte-order mark
// nor UTF-8.
bool FormatIni(const std::string& input, std::string& output, std::string& error);

} // namespace orvanta_ini
