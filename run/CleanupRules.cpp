#include "run/CleanupRules.h"

#include "platform/Text.h"

#include <windows.h>

namespace orvanta {
namespace {

std::wstring WithoutTrailingBackslashes(std::wstring path)
{
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring ParentOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool IsDriveRoot(const std::wstring& path)
{
    return path.size() == 2 && iswalpha(path[0]) && path[1] == L':';
}

// Length of the root a full path starts with: "C:" or "\\server\share"; 0 for any other path.
size_t RootLength(const std::wstring& path)
{
    if (path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\')
        return 2;
    if (path.size() < 5 || path.compare(0, 2, L"\\\\") != 0 || path[2] == L'?' || path[2] == L'.')
        return 0;
    const size_t serverEnd = path.find(L'\\', 2);
    if (serverEnd == std::wstring::npos || serverEnd == 2)
        return 0;
    const size_t shareEnd = path.find(L'\\', serverEnd + 1);
    if (shareEnd == serverEnd + 1)
        return 0;
    return shareEnd == std::wstring::npos ? path.size() : shareEnd;
}

bool IsShareRoot(const std::wstring& path)
{
    return path.size() > 2 && RootLength(path) == path.size() && path[0] == L'\\';
}

// The path with "." and ".." segments resolved; empty when ".." climbs above the root.
std::wstring ResolveDots(const std::wstring& path, size_t rootLength)
{
    std::vector<std::wstring> segments;
    size_t start = rootLength;
    while (start < path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring segment = path.substr(start, end - start);
        if (segment == L"..") {
            if (segments.empty())
                return {};
            segments.pop_back();
        } else if (!segment.empty() && segment != L".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::wstring resolved = path.substr(0, rootLength);
    for (const std::wstring& segment : segments)
        resolved += L"\\" + segment;
    return resolved;
}

bool IsPlainScriptPath(const std::wstring& path)
{
    for (const wchar_t c : path) {
        if (!(iswalnum(c) || c == L'\\' || c == L':' || c == L'.' || c == L'_' || c == L'-'))
            return false;
    }
    return !path.empty();
}

std::wstring SingleQuoted(const std::wstring& text)
{
    std::wstring quoted = L"'";
    for (const wchar_t c : text) {
        quoted += c;
        if (c == L'\'')
            quoted += c;
    }
    return quoted + L"'";
}

} // namespace

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder)
{
    if (folder.empty())
        return true;
    const std::wstring base = WithoutTrailingBackslashes(folder);
    return path.size() > base.size() + 1 && path.compare(0, base.size(), base) == 0 && path[base.size()] == L'\\';
}

std::wstring CleanupFileToDelete(const std::wstring& entry, const std::wstring& cleanupFolder)
{
    if (entry.find_first_of(L"*?") != std::wstring::npos)
        return {};
    const size_t root = RootLength(entry);
    if (root == 0)
        return {};
    const std::wstring resolved = ResolveDots(entry, root);
    if (resolved.size() <= root || !IsInsideFolder(resolved, cleanupFolder))
        return {};
    return resolved;
}

std::vector<std::wstring> FoldersToHandOn(const std::wstring& modulePath, const std::wstring& cleanupFolder)
{
    std::vector<std::wstring> folders;
    if (!IsInsideFolder(modulePath, cleanupFolder))
        return folders;
    const std::wstring stop = WithoutTrailingBackslashes(cleanupFolder);
    for (std::wstring folder = ParentOf(modulePath); !folder.empty() && folder != stop; folder = ParentOf(folder)) {
        folders.push_back(folder);
        if (IsDriveRoot(folder) || IsShareRoot(folder))
            break;
    }
    return folders;
}

void AddPathOnce(std::vector<std::wstring>& paths, const std::wstring& path)
{
    if (path.empty())
        return;
    for (const std::wstring& existing : paths) {
        if (_wcsicmp(existing.c_str(), path.c_str()) == 0)
            return;
    }
    paths.push_back(path);
}

std::vector<std::wstring> PruneHandOffPaths(const std::vector<std::wstring>& paths,
                                            const std::function<size_t(const std::wstring&)>& entryCount,
                                            const std::function<bool(const std::wstring&)>& isFolder)
{
    std::vector<std::wstring> kept;
    for (const std::wstring& path : paths) {
        const size_t allowed = isFolder(path) ? 1 : 0;
        if (entryCount(path) <= allowed)
            kept.push_back(path);
    }
    return kept;
}

std::wstring PowerShellPathsArgument(const std::vector<std::wstring>& paths)
{
    std::wstring argument;
    for (const std::wstring& path : paths) {
        if (!argument.empty())
            argument += L",";
        argument += SingleQuoted(path);
    }
    return argument;
}

std::wstring PowerShellParameters(const std::wstring& scriptCopy, const std::vector<std::wstring>& paths,
                                  int retryCount)
{
    const std::wstring script = IsPlainScriptPath(scriptCopy) ? scriptCopy : L"& " + SingleQuoted(scriptCopy);
    const std::wstring arguments =
        Format(L"%ls -paths %ls -retry_count %d", script.c_str(), PowerShellPathsArgument(paths).c_str(), retryCount);
    return Format(L"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy %ls -Command \"%ls\"", L"RemoteSigned",
                  arguments.c_str());
}

} // namespace orvanta
