#include "download/DownloadVerification.h"

#include "download/FileDigests.h"
#include "download/SignerCheck.h"
#include "platform/Paths.h"
#include "platform/UniqueResource.h"

namespace orvanta {
namespace {

wchar_t LowerHexLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'F') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool SameHexDigits(const char* computed, const std::wstring& configured, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (LowerHexLetter(configured[i]) != static_cast<wchar_t>(static_cast<unsigned char>(computed[i])))
            return false;
    }
    return true;
}

// The whole size: a file of 4 GiB and more never passes for a smaller one.
bool ReadFileSize(const std::wstring& path, uint64_t& size)
{
    UniqueFile file(::CreateFileW(MakeLongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER value;
    if (!file || !::GetFileSizeEx(file.Get(), &value))
        return false;
    size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

bool HasSize(const std::wstring& path, uint64_t expectedSize)
{
    uint64_t size = 0;
    return ReadFileSize(path, size) && size == expectedSize;
}

} // namespace

bool Md5Matches(const char (&computed)[33], const std::wstring& configured)
{
    return configured.size() >= 32 && SameHexDigits(computed, configured, 32);
}

bool Sha256Matches(const char (&computed)[65], const std::wstring& configured)
{
    return configured.size() == 64 && SameHexDigits(computed, configured, 64);
}

namespace {

CheckOutcome Outcome(bool given, bool passed)
{
    if (!given)
        return CheckOutcome::NotGiven;
    return passed ? CheckOutcome::Passed : CheckOutcome::Failed;
}

// Keeps the key that failed first.
void FailAt(CheckReport& report, const wchar_t* key)
{
    if (report.failedKey.empty())
        report.failedKey = key;
}

// The signature is not read once another check failed.
void SkipLaterChecks(CheckReport& report, const ExpectedContent& expected)
{
    if (expected.signerGiven)
        report.signer = CheckOutcome::NotChecked;
}

void CheckSignature(const std::wstring& path, const ExpectedContent& expected, const PeImageDigest& digest,
                    CheckReport& report)
{
    if (!report.failedKey.empty()) {
        SkipLaterChecks(report, expected);
        return;
    }
    report.signer =
        Outcome(expected.signerGiven, !expected.signerGiven || CheckSigner(path, expected.signers, digest) == 0);
    if (report.signer == CheckOutcome::Failed)
        FailAt(report, L"Signer");
}

} // namespace

CheckReport CheckDownload(const std::wstring& path, const ExpectedContent& expected, const ContentDigests& digests)
{
    CheckReport report;
    uint64_t size = 0;
    const bool readable = ReadFileSize(path, size);
    report.size = Outcome(expected.size != 0, readable && size == expected.size);
    if (!readable || report.size == CheckOutcome::Failed) {
        FailAt(report, L"ExactSize");
        report.md5 = expected.WantsMd5() ? CheckOutcome::NotChecked : CheckOutcome::NotGiven;
        report.sha256 = expected.WantsSha256() ? CheckOutcome::NotChecked : CheckOutcome::NotGiven;
        SkipLaterChecks(report, expected);
        return report;
    }
    // Digests of other bytes than the file now holds say nothing about it; digests of no bytes
    // match nothing.
    const ContentDigests& own = digests.size == size ? digests : ContentDigests();
    const bool computed = own.size != 0;
    report.md5 = Outcome(expected.WantsMd5(), computed && own.hasMd5 && Md5Matches(own.md5, expected.md5));
    if (report.md5 == CheckOutcome::Failed)
        FailAt(report, L"MD5");
    report.sha256 =
        Outcome(expected.WantsSha256(), computed && own.hasSha256 && Sha256Matches(own.sha256, expected.sha256));
    if (report.sha256 == CheckOutcome::Failed)
        FailAt(report, L"SHA256");
    CheckSignature(path, expected, own.peImage, report);
    return report;
}

bool DownloadedFileAcceptable(const std::wstring& path, const ExpectedContent& expected,
                              const ContentDigests& digests)
{
    return !expected.ChecksAnything() || CheckDownload(path, expected, digests).failedKey.empty();
}

bool DownloadedFileAcceptable(const std::wstring& path, const ExpectedContent& expected)
{
    if (expected.size != 0 && !HasSize(path, expected.size))
        return false;
    if (!expected.WantsMd5() && !expected.WantsSha256() && !expected.signerGiven)
        return true;
    // One reading gives the digests and the signature's image digest.
    ContentDigests digests;
    return ComputeFileDigests(path, expected.WantsMd5(), expected.WantsSha256(), digests, expected.signerGiven) == 0 &&
           DownloadedFileAcceptable(path, expected, digests);
}

} // namespace orvanta
