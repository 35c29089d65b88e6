// The MD5 digest of a file, as the download verification compares it.
#pragma once

#include <string>

namespace orvanta {

// Writes the file's MD5 as 32 lowercase hex digits and a terminating 0. False (the buffer
// left alone) when the file cannot be opened or read, or is empty: an empty download is
// never acceptable.
bool ComputeFileMd5(const std::wstring& path, char (&hex)[33]);

} // namespace orvanta
