// The checks a downloaded file must pass before it may be installed: its exact size, its MD5
// and SHA-256 digests and the publisher of its signature, each only when the package gives one.
#pragma once

#include "download/SignerPins.h"
#include "download/StreamHasher.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

// What the configuration asks of a download's content.
struct ExpectedContent {
    uint64_t size = 0;    // 0: not checked
    std::wstring md5;     // empty: not checked
    std::wstring sha256;  // empty: not checked
    // A Signer key was given; its pins (none when its value could not be read: nothing passes).
    bool signerGiven = false;
    std::vector<KeyHash> signers;

    bool WantsMd5() const { return !md5.empty(); }
    bool WantsSha256() const { return !sha256.empty(); }
    bool ChecksAnything() const { return size != 0 || WantsMd5() || WantsSha256() || signerGiven; }
};

// How one check of a file came out.
enum class CheckOutcome { NotGiven, Passed, Failed, NotChecked /* an earlier check failed */ };

struct CheckReport {
    CheckOutcome size = CheckOutcome::NotGiven;
    CheckOutcome md5 = CheckOutcome::NotGiven;
    CheckOutcome sha256 = CheckOutcome::NotGiven;
    CheckOutcome signer = CheckOutcome::NotGiven;
    // The key whose check failed first ("ExactSize", "MD5", "SHA256", "Signer"); empty: passed.
    std::wstring failedKey;
};

// True when the first 32 characters of `configured` equal the computed lowercase digits, with
// 'A' to 'F' counting as 'a' to 'f'. A shorter text never matches; characters after the 32nd
// are not looked at.
bool Md5Matches(const char (&computed)[33], const std::wstring& configured);
// True when `configured` is exactly the 64 computed hex digits, in either case.
bool Sha256Matches(const char (&computed)[65], const std::wstring& configured);

// Checks a finished download, whose digests were computed while it was written, in the order
// ExactSize, MD5, SHA256, Signer (a file that cannot be read fails "ExactSize"); the signature is
// read only when every other check passed.
CheckReport CheckDownload(const std::wstring& path, const ExpectedContent& expected, const ContentDigests& digests);
// A finished download whose digests were computed while it was written: its size is taken
// from the file, the digests from `digests`.
bool DownloadedFileAcceptable(const std::wstring& path, const ExpectedContent& expected,
                              const ContentDigests& digests);
// A file that is already there: its size and the digests asked for are read from it.
bool DownloadedFileAcceptable(const std::wstring& path, const ExpectedContent& expected);

} // namespace orvanta
