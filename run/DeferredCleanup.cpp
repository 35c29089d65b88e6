#include "run/DeferredCleanup.h"

#include "config/Config.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/UniqueResource.h"
#include "run/CleanupRules.h"

#include <windows.h>
#include <shlwapi.h>

namespace orvanta {
namespace {

const wchar_t kEntrySeparator = L'\x0001';

bool IsExistingFile(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    const UniqueFind find(::FindFirstFileW(MakeLongPath(path).c_str(), &found));
    return find && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Entries of a folder other than "." and ".." (a drive's root has neither); 0 for a file.
size_t EntryCount(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    const UniqueFind find(::FindFirstFileW(MakeLongPath(path + L"\\*").c_str(), &found));
    if (!find)
        return 0;
    size_t count = 0;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            ++count;
    } while (::FindNextFileW(find.Get(), &found));
    return count;
}

bool IsFolder(const std::wstring& path)
{
    return ::PathIsDirectoryW(path.c_str()) != FALSE;
}

std::vector<std::wstring> SplitEntries(const std::wstring& list)
{
    std::vector<std::wstring> entries;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(kEntrySeparator, start);
        if (end == std::wstring::npos)
            end = list.size();
        if (end > start)
            entries.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

} // namespace

void DeferredCleanup::SetUp(const IniFile& ini, const std::wstring& modulePath, const std::wstring& iniPath)
{
    CleanupSettings settings;
    if (!ReadCleanupSettings(ini, settings))
        return;
    powerShell_.scriptPath = settings.CleanupScript;
    powerShell_.elevated = false;
    powerShell_.retryCount = 10;
    AddPathOnce(powerShell_.paths, settings.CleanupScript);
    cleanupRoot_ = settings.CleanupFolders;

    for (const std::wstring& entry : SplitEntries(settings.CleanupFiles)) {
        const std::wstring path = CleanupFileToDelete(entry, cleanupRoot_);
        if (!path.empty() && IsExistingFile(path))
            filesToDelete_.push_back(path);
        else
            refused_.push_back(entry);
    }
    filesToDelete_.push_back(iniPath);
    AddPathOnce(powerShell_.paths, modulePath);
    for (const std::wstring& folder : FoldersToHandOn(modulePath, cleanupRoot_))
        AddPathOnce(powerShell_.paths, folder);
}

void DeferredCleanup::DeleteCleanupFiles()
{
    for (const std::wstring& entry : refused_)
        LogLine(L"Cleanup entry was not deleted (not an existing file inside CleanupFolders):" + entry);
    for (const std::wstring& path : filesToDelete_) {
        ::DeleteFileW(MakeLongPath(path).c_str());
        // Only inside the cleanup folder: the INI file may lie elsewhere.
        if (IsInsideFolder(path, cleanupRoot_))
            RemoveEmptyParentFolders(path, cleanupRoot_);
    }
    powerShell_.paths = PruneHandOffPaths(powerShell_.paths, EntryCount, IsFolder);
}

} // namespace orvanta
