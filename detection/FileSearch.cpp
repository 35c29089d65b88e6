// FileVersion and FolderNameVersions searches.
#include "detection/SearchKinds.h"

#include "config/FolderProperties.h"
#include "detection/FileVersion.h"
#include "config/VersionValue.h"
#include "platform/Wow64Redirection.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"

#include <windows.h>

#include <limits>

namespace orvanta {
namespace {

bool IsDotEntry(const wchar_t* name)
{
    return (name[0] == L'.' && name[1] == L'\0') || (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

bool IsFolder(const WIN32_FIND_DATAW& data)
{
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsDotEntry(data.cFileName);
}

// Junctions and symbolic links can point back up the tree (Wine's Z: is the whole host file
// system, with links to itself): following them could walk forever.
bool IsWalkableFolder(const WIN32_FIND_DATAW& data)
{
    return IsFolder(data) && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// "1.2.3.4" from a file's version; "0.0.0.0" for a file without one.
std::wstring FileVersionText(const std::wstring& path)
{
    uint32_t mostSignificant = 0;
    uint32_t leastSignificant = 0;
    if (GetFileVersion(path, mostSignificant, leastSignificant) != 0)
        mostSignificant = leastSignificant = 0;
    const std::wstring text = Format(L"%d.%d.%d.%d", static_cast<int>(mostSignificant >> 16),
                                     static_cast<int>(mostSignificant & 0xFFFF), static_cast<int>(leastSignificant >> 16),
                                     static_cast<int>(leastSignificant & 0xFFFF));
    VersionValue value;
    ParseVersion(text, value);
    return FormatVersion(value);
}

// The first file (not folder) in `folder` matching `name`, which may hold wildcards. The version
// is read from the file found, so that a wildcard name reads a real file.
bool FindInFolder(const std::wstring& folder, const std::wstring& name, std::wstring& version)
{
    if (name.empty())
        return false;
    WIN32_FIND_DATAW data;
    const UniqueFind find(::FindFirstFileW((folder + name).c_str(), &data));
    if (!find)
        return false;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            version = FileVersionText(folder + data.cFileName);
            return true;
        }
    } while (::FindNextFileW(find.Get(), &data));
    return false;
}

// One folder of the depth-first walk, with its listing kept open between children.
struct WalkLevel {
    std::wstring folder;
    uint32_t depth = 0;
    UniqueFind listing;
    bool listed = false;
};

// The next subfolder of the level ("folder\name\"), in listing order.
bool NextSubfolder(WalkLevel& level, std::wstring& child)
{
    WIN32_FIND_DATAW data;
    for (;;) {
        if (!level.listed) {
            level.listed = true;
            level.listing.Reset(::FindFirstFileW((level.folder + L"*").c_str(), &data));
            if (!level.listing)
                return false;
        } else if (!level.listing || !::FindNextFileW(level.listing.Get(), &data)) {
            return false;
        }
        if (IsWalkableFolder(data)) {
            child = level.folder + data.cFileName + L"\\";
            return true;
        }
    }
}

// Looks in `folder`, then in its subfolders down to `depth` levels, depth first. An explicit
// stack instead of recursion: a deep tree must not exhaust the thread's stack.
bool WalkForFile(const std::wstring& folder, const std::wstring& name, uint32_t depth, std::wstring& version)
{
    if (FindInFolder(folder, name, version))
        return true;
    std::vector<WalkLevel> levels;
    levels.push_back(WalkLevel{folder, depth, UniqueFind(), false});
    while (!levels.empty()) {
        WalkLevel& level = levels.back();
        std::wstring child;
        if (level.depth == 0 || !NextSubfolder(level, child)) {
            levels.pop_back();
            continue;
        }
        const uint32_t childDepth = level.depth - 1;
        if (FindInFolder(child, name, version))
            return true;
        levels.push_back(WalkLevel{child, childDepth, UniqueFind(), false});
    }
    return false;
}

// A candidate with its references expanded: the folder (with its trailing backslash), the file
// name, which may hold wildcards, and the depth of the walk below the folder.
struct FileTarget {
    std::wstring folder;
    std::wstring name;
    uint32_t depth = 0;
};

FileTarget ExpandCandidate(const std::wstring& candidate, bool use64)
{
    FileTarget target;
    std::wstring path;
    SplitSearchDepth(candidate, path, target.depth);
    const std::wstring expanded = ExpandReferences(path, use64);
    const size_t slash = expanded.rfind(L'\\');
    target.folder = slash == std::wstring::npos ? std::wstring() : expanded.substr(0, slash + 1);
    target.name = slash == std::wstring::npos ? expanded : expanded.substr(slash + 1);
    return target;
}

} // namespace

std::vector<std::wstring> FixedDriveRoots()
{
    std::wstring buffer(100, L'\0');
    DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), &buffer[0]);
    // A machine with many drives needs more than 100 characters: ask again with the size given.
    if (length > buffer.size()) {
        buffer.assign(length + 1, L'\0');
        length = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), &buffer[0]);
        if (length > buffer.size())
            length = 0;
    }
    std::vector<std::wstring> roots;
    size_t start = 0;
    while (start < length) {
        const size_t end = buffer.find(L'\0', start);
        const std::wstring root = buffer.substr(start, end - start);
        if (!root.empty() && ::GetDriveTypeW(root.c_str()) == DRIVE_FIXED)
            roots.push_back(root);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return roots;
}

void SplitSearchDepth(const std::wstring& candidate, std::wstring& path, uint32_t& depth)
{
    depth = 0;
    const size_t question = candidate.empty() ? std::wstring::npos : candidate.find(L'?', 1);
    path = candidate.substr(0, question);
    if (question == std::wstring::npos)
        return;
    const uint32_t limit = static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
    for (size_t i = question + 1; i < candidate.size() && candidate[i] >= L'0' && candidate[i] <= L'9'; ++i) {
        const uint32_t digit = static_cast<uint32_t>(candidate[i] - L'0');
        depth = depth > (limit - digit) / 10 ? limit : depth * 10 + digit;
    }
}

bool IsBareFileName(const std::wstring& searchString)
{
    const size_t question = searchString.empty() ? std::wstring::npos : searchString.find(L'?', 1);
    return searchString.substr(0, question).find_first_of(L"\\[%!") == std::wstring::npos;
}

std::vector<std::wstring> FileSearchCandidates(const std::wstring& searchString,
                                               const std::vector<std::wstring>& driveRoots)
{
    if (!IsBareFileName(searchString))
        return {searchString};
    const size_t question = searchString.empty() ? std::wstring::npos : searchString.find(L'?', 1);
    const std::wstring path = searchString.substr(0, question);
    const std::wstring suffix = question == std::wstring::npos ? std::wstring() : searchString.substr(question);
    std::vector<std::wstring> candidates;
    for (const std::wstring& root : driveRoots)
        candidates.push_back(root + path + suffix);
    return candidates;
}

void SearchFileVersion(const std::wstring& searchString, bool use64, SearchFinding& finding,
                       const Wow64RedirectionSwitch& redirection)
{
    // References are expanded before redirection goes off: folder references load shell
    // libraries, which a 32-bit chainer must find in its own, redirected, system folder.
    const std::vector<std::wstring> candidates = FileSearchCandidates(
        searchString, IsBareFileName(searchString) ? FixedDriveRoots() : std::vector<std::wstring>());
    std::vector<FileTarget> targets;
    for (const std::wstring& candidate : candidates)
        targets.push_back(ExpandCandidate(candidate, use64));

    const Wow64RedirectionOff redirectionOff(use64, redirection);
    for (const FileTarget& target : targets) {
        std::wstring version;
        if (WalkForFile(target.folder, target.name, target.depth, version)) {
            finding.versions.push_back(version);
            return;
        }
    }
}

void SearchFolderNames(const std::wstring& searchString, bool use64, SearchFinding& finding,
                       const Wow64RedirectionSwitch& redirection)
{
    // Expanded before redirection goes off, as in SearchFileVersion.
    const std::wstring folder = WithTrailingBackslash(ExpandReferences(searchString, use64));
    // An empty text names no folder (listing "*" would list the working folder).
    if (folder.empty())
        return;
    const Wow64RedirectionOff redirectionOff(use64, redirection);
    WIN32_FIND_DATAW data;
    const UniqueFind find(::FindFirstFileW((folder + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        if (IsFolder(data))
            finding.versions.push_back(data.cFileName);
    } while (::FindNextFileW(find.Get(), &data));
}

} // namespace orvanta
