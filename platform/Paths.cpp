#include "platform/Paths.h"

#include "platform/Text.h"
#include "platform/SystemFunction.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace orvanta {
namespace {

const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool IsDrivePath(const std::wstring& path)
{
    return path.size() >= 2 && path[1] == L':';
}

bool IsNetworkPath(const std::wstring& path)
{
    return path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
}

// Length of the part of `path` that CreateFolderTree never creates: "C:\", "\\server\share\",
// each optionally behind a long-path prefix.
size_t RootLength(const std::wstring& path, bool& network)
{
    size_t start = 0;
    network = false;
    if (StartsWith(path, kLongUncPrefix)) {
        start = 8;
        network = true;
    } else if (StartsWith(path, kLongPrefix)) {
        start = 4;
    } else if (IsNetworkPath(path)) {
        start = 2;
        network = true;
    }
    if (network) {
        // server, then share
        size_t position = path.find(L'\\', start);
        if (position == std::wstring::npos)
            return path.size();
        position = path.find(L'\\', position + 1);
        return position == std::wstring::npos ? path.size() : position + 1;
    }
    if (path.size() >= start + 2 && path[start + 1] == L':')
        return (path.size() > start + 2 && path[start + 2] == L'\\') ? start + 3 : start + 2;
    return start;
}

} // namespace

std::wstring WithLongPathPrefix(const std::wstring& path)
{
    if (StartsWith(path, kLongPrefix))
        return path;
    if (IsNetworkPath(path))
        return kLongUncPrefix + path.substr(2);
    if (IsDrivePath(path))
        return kLongPrefix + path;
    return path;
}

std::wstring WithoutLongPathPrefix(const std::wstring& path)
{
    if (StartsWith(path, kLongUncPrefix))
        return L"\\\\" + path.substr(8);
    if (StartsWith(path, kLongPrefix))
        return path.substr(4);
    return path;
}

std::wstring MakeLongPath(const std::wstring& path)
{
    return path.size() < 248 ? path : WithLongPathPrefix(path);
}

std::wstring NormalizePath(const std::wstring& path)
{
    const std::wstring source = WithoutLongPathPrefix(path);

    std::wstring result;
    result.reserve(source.size());
    size_t position = 0;
    if (IsNetworkPath(source)) {
        result = L"\\\\";
        position = 2;
        while (position < source.size() && source[position] == L'\\')
            ++position;
    }
    for (; position < source.size(); ++position) {
        if (source[position] == L'\\' && !result.empty() && result.back() == L'\\')
            continue;
        result += source[position];
    }
    while (!result.empty() && result.back() == L'\\' && result != L"\\\\")
        result.pop_back();
    return result;
}

std::wstring GetFinalPath(const std::wstring& path)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return path;
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetFinalPathNameByHandleW(file.Get(), buffer, MAX_PATH, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= MAX_PATH)
        return path;
    return std::wstring(buffer, length);
}

std::wstring GetParentFolder(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring GetFileNamePart(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool RemoveDirectoryLong(const std::wstring& path)
{
    const std::wstring target = path.size() < MAX_PATH ? path : WithLongPathPrefix(path);
    return ::RemoveDirectoryW(target.c_str()) == TRUE;
}

void RemoveEmptyParentFolders(const std::wstring& path, const std::wstring& stopFolder)
{
    std::wstring stop = stopFolder;
    while (!stop.empty() && stop.back() == L'\\')
        stop.pop_back();
    // The stop folder itself is the root below which removal is allowed: it always stays.
    std::wstring current = GetParentFolder(path);
    while (current.size() > stop.size()) {
        RemoveDirectoryLong(current);
        current = GetParentFolder(current);
    }
}

DWORD CreateFolderTree(const std::wstring& path, bool lastIsFolder, std::vector<std::wstring>* createdFolders)
{
    const DWORD attributes = ::GetFileAttributesW(MakeLongPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return 0;

    bool network = false;
    const size_t root = RootLength(path, network);
    std::wstring target = path;
    while (!target.empty() && target.back() == L'\\')
        target.pop_back();
    if (!lastIsFolder) {
        const size_t slash = target.rfind(L'\\');
        target = (slash == std::wstring::npos || slash < root) ? target.substr(0, root) : target.substr(0, slash);
    }

    DWORD lastError = 0;
    size_t position = root;
    while (position < target.size()) {
        size_t next = target.find(L'\\', position);
        if (next == std::wstring::npos)
            next = target.size();
        const std::wstring partial = target.substr(0, next);
        if (::CreateDirectoryW(MakeLongPath(partial).c_str(), nullptr)) {
            if (createdFolders != nullptr)
                createdFolders->push_back(partial);
        } else {
            const DWORD error = ::GetLastError();
            if (error != ERROR_ALREADY_EXISTS) {
                lastError = error;
                if (!network)
                    return lastError;
            }
        }
        position = next + 1;
    }
    return lastError;
}

std::wstring SystemFolderPath(const std::wstring& name)
{
    wchar_t folder[MAX_PATH + 1];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        ::SetLastError(length == 0 ? ::GetLastError() : ERROR_BUFFER_OVERFLOW);
        return {};
    }
    return std::wstring(folder, length) + L"\\" + name;
}

UniqueModule LoadSystemLibrary(const std::wstring& name)
{
    const std::wstring path = SystemFolderPath(name);
    if (path.empty())
        return UniqueModule();
    // The flag keeps the library's own dependencies to the system folder as well; a system
    // without the search flags rejects it, and then the process-wide restriction has to do.
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER)
        module = ::LoadLibraryExW(path.c_str(), nullptr, 0);
    return UniqueModule(module);
}

void RestrictDllSearchToSystemFolder()
{
    // Looked up at run time: older systems without the update lack the function.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault =
        GetLoadedFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (setDefault != nullptr)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    else
        ::SetDllDirectoryW(L"");  // at least take the current folder out of the search
}

std::wstring GetModulePath()
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(buffer, length);
}

std::wstring GetWindowsFolder()
{
    wchar_t buffer[MAX_PATH];
    const UINT length = ::GetWindowsDirectoryW(buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

bool GetSpecialFolderPath(int csidl, std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, csidl, &items))) {
        const BOOL found = ::SHGetPathFromIDListW(items, buffer);
        ::CoTaskMemFree(items);  // the shell allocator is the COM task allocator
        if (!found)
            return false;
        path = buffer;
        return true;
    }
    using SHGetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    static const SHGetFolderPathFn getFolderPath = [] {
        // Kept loaded for the process: the function pointer must stay valid.
        return GetModuleFunction<SHGetFolderPathFn>(LoadSystemLibrary(L"shfolder.dll").Release(),
                                                    "SHGetFolderPathW");
    }();
    if (getFolderPath == nullptr || FAILED(getFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return false;
    path = buffer;
    return true;
}

} // namespace orvanta
