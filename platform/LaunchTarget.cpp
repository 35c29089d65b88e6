#include "platform/LaunchTarget.h"

#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <windows.h>

namespace orvanta {
namespace {

// Both calls answer with the length they need when the buffer is too small.
template <typename Call>
std::wstring PathFromSystem(const std::wstring& path, Call call)
{
    const DWORD size = call(path.c_str(), nullptr, 0);
    if (size == 0)
        return path;
    std::wstring result(size, L'\0');
    const DWORD length = call(path.c_str(), &result[0], size);
    if (length == 0 || length >= size)
        return path;
    result.resize(length);
    return result;
}

DWORD FullPathName(const wchar_t* path, wchar_t* buffer, DWORD size)
{
    return ::GetFullPathNameW(path, size, buffer, nullptr);
}

DWORD LongPathName(const wchar_t* path, wchar_t* buffer, DWORD size)
{
    return ::GetLongPathNameW(path, buffer, size);
}

// The attributes through the long-path form, which names a file of any length but takes the path
// literally: "." and ".." are resolved first.
DWORD AttributesOf(const std::wstring& path)
{
    return ::GetFileAttributesW(MakeLongPath(PathFromSystem(path, FullPathName)).c_str());
}

bool IsExistingFolder(const std::wstring& path)
{
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

std::wstring ComparablePath(const std::wstring& path)
{
    if (path.empty())
        return path;
    // A missing file keeps its short names: GetLongPathNameW needs the file to be there. Wine's
    // faults on a path of about 1,500 characters; a path of MAX_PATH or more is never started
    // (CheckStartablePath), so its short names need no resolving.
    std::wstring result = PathFromSystem(WithoutLongPathPrefix(path), FullPathName);
    if (result.size() < MAX_PATH)
        result = PathFromSystem(result, LongPathName);
    ::CharUpperBuffW(&result[0], static_cast<DWORD>(result.size()));
    return result;
}

bool IsOwnExecutable(const std::wstring& path)
{
    const std::wstring own = GetModulePath();
    return !own.empty() && !path.empty() && ComparablePath(path) == ComparablePath(own);
}

uint32_t CheckLaunchTarget(const std::wstring& path)
{
    if (path.empty() || IsExistingFolder(path) || IsOwnExecutable(path))
        return ERROR_FILE_NOT_FOUND;
    return 0;
}

uint32_t CheckStartablePath(const std::wstring& path)
{
    if (AttributesOf(path) == INVALID_FILE_ATTRIBUTES)
        return ERROR_FILE_NOT_FOUND;
    const size_t length = WithoutLongPathPrefix(path).size();
    if (length <= kMaxStartablePathLength)
        return 0;
    LogLine(Format(L"Path too long to start: %u characters, the limit is %u.", static_cast<unsigned>(length),
                   static_cast<unsigned>(kMaxStartablePathLength)));
    return ERROR_FILENAME_EXCED_RANGE;
}

} // namespace orvanta
