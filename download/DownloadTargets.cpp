#include "download/DownloadTargets.h"

#include "config/Config.h"
#include "download/DownloadVerification.h"
#include "download/UrlParts.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <vector>

namespace orvanta {
namespace {

bool IsForbiddenNameCharacter(wchar_t c)
{
    return c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
           c == L'|';
}

bool StartsWithIgnoringCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t length = wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

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

std::wstring FileNameFromUrl(const std::wstring& fullUrl)
{
    // The password must not become the name ("user:pw@host" in front of the path).
    const std::wstring url = UrlWithoutCredentials(fullUrl);
    if (url.empty())
        return {};
    const size_t lastPosition = url.size() - 1;
    size_t end = lastPosition;
    const size_t first = url.find(L"://");
    if (first != std::wstring::npos) {
        const size_t second = url.find(L"://", first + 4);
        if (second != std::wstring::npos)
            end = second;
    }

    size_t last = end;
    const size_t dot = url.rfind(L'.', end);
    if (dot != std::wstring::npos) {
        for (size_t i = dot + 1; i <= end && i < url.size(); ++i) {
            if (IsForbiddenNameCharacter(url[i])) {
                last = i - 1;
                break;
            }
        }
    }

    // At most 40 positions back from the last character.
    size_t start = last >= 40 ? last - 40 : 0;
    for (size_t back = 1; back <= 40 && back <= last; ++back) {
        if (IsForbiddenNameCharacter(url[last - back])) {
            start = last - back + 1;
            break;
        }
    }
    if (start > last || IsForbiddenNameCharacter(url[last]))
        return {};
    std::wstring name = url.substr(start, last - start + 1);
    // Windows drops trailing dots and spaces from a name, so "." or ".." would name the
    // download folder or its parent: no usable name.
    if (name.find_last_not_of(L". ") == std::wstring::npos)
        return {};
    return name;
}

std::wstring TargetPathFor(const std::wstring& downloadFolder, const std::wstring& url, const std::wstring& folder)
{
    std::wstring path = WithTrailingBackslash(downloadFolder);
    std::wstring subfolder = folder;
    std::wstring fileName;
    const size_t question = folder.find(L'?');
    if (question != std::wstring::npos) {
        subfolder = folder.substr(0, question);
        fileName = folder.substr(question + 1);
    }
    path = WithTrailingBackslash(path + subfolder);
    return path + (fileName.empty() ? FileNameFromUrl(url) : fileName);
}

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

std::wstring LocalPathOfFileUrl(const std::wstring& fileUrl)
{
    const std::wstring url = UrlWithoutCredentials(fileUrl);
    std::wstring rest;
    if (StartsWithIgnoringCase(url, L"file:///")) {
        rest = url.substr(8);
    } else if (StartsWithIgnoringCase(url, L"file://")) {
        rest = url.substr(7);
        // file://server/share/x is \\server\share\x; file://C:/x is a drive path all the same.
        if (!(rest.size() >= 2 && rest[1] == L':'))
            rest = L"//" + rest;
    } else {
        return {};
    }
    for (wchar_t& c : rest) {
        if (c == L'/')
            c = L'\\';
    }
    return rest;
}

bool DownloadPresent(ChainerConfig& config, const PrereqInfo& prereq)
{
    const ExpectedContent expected = ExpectedContentOf(prereq);
    if (StartsWithIgnoringCase(prereq.source, L"file://")) {
        // Not ours to delete: a local file that fails its checks is only not present.
        return !expected.ChecksAnything() || DownloadedFileAcceptable(LocalPathOfFileUrl(prereq.source), expected);
    }
    const std::wstring& folder = GetDownloadFolder(config);
    const std::wstring target = TargetPathFor(folder, prereq.source, prereq.Folder);
    if (target.empty() || target.back() == L'\\' || !TargetStaysInFolder(folder, target))
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

PrereqDecision EffectiveDecision(ChainerConfig& config, size_t index)
{
    PrereqInfo& prereq = config.prerequisites.at(index);
    if (!prereq.selected)
        return NotSelected;
    if (prereq.decision == AcceptableFound) {
        switch (prereq.sourceKind) {
        case SourceUrl: return DownloadPresent(config, prereq) ? AlreadyDownloaded : Download;
        case SourceOpenSite: return OpenSite;
        default: return InstallFromPackage;
        }
    }
    if (prereq.decision == Download && prereq.downloadPresent)
        return AlreadyDownloaded;
    return prereq.decision;
}

} // namespace orvanta
