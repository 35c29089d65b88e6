// The checks a downloaded file must pass before it may be installed: its exact size and its
// MD5 digest, each only when the configuration gives one.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

// True when the first 32 characters of `configured` equal the computed lowercase digits, with
// 'A' to 'F' counting as 'a' to 'f'. A shorter text never matches; characters after the 32nd
// are not looked at.
bool Md5Matches(const char (&computed)[33], const std::wstring& configured);

// True when the file's size equals `expectedSize` (0: not checked) and its MD5 matches `md5`
// (empty: not checked). A file that cannot be opened or hashed fails the checks it is given.
bool DownloadedFileAcceptable(const std::wstring& path, uint32_t expectedSize, const std::wstring& md5);

} // namespace orvanta
