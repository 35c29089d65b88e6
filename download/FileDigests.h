// The digests of a file on disk, as the download verification compares them.
#pragma once

#include "download/StreamHasher.h"

#include <windows.h>

#include <string>

namespace orvanta {

// Reads the file once and computes the digests asked for (its size always). Returns 0, or the
// system error when the file cannot be opened or read (ERROR_HANDLE_EOF when it shrank); an
// empty file gives its size 0 and the digests of no bytes. Only the bytes present at the start
// count: a file that grows meanwhile is hashed as it was.
DWORD ComputeFileDigests(const std::wstring& path, bool md5, bool sha256, ContentDigests& digests,
                         bool peImage = false);

// Writes the file's MD5 as 32 lowercase hex digits and a terminating 0. False (the buffer
// left alone) when the file cannot be opened or read, or is empty: an empty download is
// never acceptable.
bool ComputeFileMd5(const std::wstring& path, char (&hex)[33]);

} // namespace orvanta
