// The checks a downloaded file must pass before it may be installed: its exact size, its MD5
// and its SHA-256 digest, each only when the configuration gives one.
#pragma once

#include "download/StreamHasher.h"

#include <cstdint>
#include <string>

namespace orvanta {

// What the configuration asks of a download's content.
struct ExpectedContent {
    uint64_t size = 0;    // 0: not checked
    std::wstring md5;     // empty: not checked
    std::wstring sha256;  // empty: not checked

    bool WantsMd5() const { return !md5.empty(); }
    bool WantsSha256() const { return !sha256.empty(); }
    bool ChecksAnything() const { return size != 0 || WantsMd5() || WantsSha256(); }
};

// True when the first 32 characters of `configured` equal the computed lowercase digits, with
// 'A' to 'F' counting as 'a' to 'f'. A shorter text never matches; characters after the 32nd
// are not looked at.
bool Md5Matches(const char (&computed)[33], const std::wstring& configured);
// True when `configured` is exactly the 64 computed hex digits, in either case.
bool Sha256Matches(const char (&computed)[65], const std::wstring& configured);

// True when every digest the expectation gives was computed and matches. An empty content
// never passes a digest check.
bool DigestsMatch(const ContentDigests& digests, const ExpectedContent& expected);

// The key whose check a finished download fails ("ExactSize", "MD5", "SHA256", in that order;
// a file that cannot be read fails "ExactSize"), or empty when it passes them all.
std::wstring FailedCheck(const std::wstring& path, const ExpectedContent& expected, const ContentDigests& digests);
// A finished download whose digests were computed while it was written: its size is taken
// from the file, the digests from `digests`.
bool DownloadedFileAcceptable(const std::wstring& path, const ExpectedContent& expected,
                              const ContentDigests& digests);
// A file that is already there: its size and the digests asked for are read from it.
bool DownloadedFileAcceptable(const std::wstring& path, const ExpectedContent& expected);

} // namespace orvanta
