#include "download/DownloadTargets.h"

#include "download/DownloadVerification.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <vector>

namespace orvanta {
namespace {

// The path with "." and ".." resolved and slashes made backslashes; empty on failure.
std::wstring FullPathOf(const std::wstring& path)
{
    std::vector<wchar_t> buffer(path.size() + MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
    return {};
}

} // namespace

bool TargetStaysInFolder(const std::wstring& downloadFolder, const std::wstring& target)
{
    const std::wstring folder = WithTrailingBackslash(FullPathOf(WithTrailingBackslash(downloadFolder)));
    const std::wstring full = FullPathOf(target);
    if (folder.size() < 2 || full.size() <= folder.size() ||
        _wcsnicmp(full.c_str(), folder.c_str(), folder.size()) != 0)
        return false;
    // Below the folder no ':' may follow (a stream or a drive), and a file is named.
    const std::wstring below = full.substr(folder.size());
    return below.find(L':') == std::wstring::npos && below.back() != L'\\';
}

bool DownloadPresent(const std::wstring& downloadFolder, const DownloadJob& job)
{
    const ExpectedContent& expected = job.expected;
    if (StartsWithIgnoringAsciiCase(job.url, L"file://")) {
        // Not ours to delete: a local file that fails its checks is only not present.
        return !expected.ChecksAnything() || DownloadedFileAcceptable(LocalPathOfFileUrl(job.url), expected);
    }
    const std::wstring target = TargetPathFor(downloadFolder, job.url, job.folder);
    if (target.empty() || target.back() == L'\\' || !TargetStaysInFolder(downloadFolder, target))
        return false;
    // Attributes rather than a find: a name with wildcards must not match some other file, and
    // a folder of that name is no download.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(MakeLongPath(target).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    // Whatever lies there may have been put there by anyone: it is started only after the
    // same checks as a fresh download.
    if (DownloadedFileAcceptable(target, expected))
        return true;
    ::DeleteFileW(MakeLongPath(target).c_str());
    LogLine(L"File in the download folder was rejected and deleted:" + target);
    return false;
}

std::wstring LaunchPathOf(const std::wstring& downloadFolder, const DownloadJob& job)
{
    const std::wstring local = LocalPathOfFileUrl(job.url);
    if (!local.empty())
        return local;
    return TargetPathFor(downloadFolder, job.url, job.folder);
}

} // namespace orvanta
