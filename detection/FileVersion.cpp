#include "detection/FileVersion.h"

#include "platform/OsVersion.h"
#include "platform/Wow64Redirection.h"
#include "platform/Paths.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"
#include "platform/SystemFunction.h"
#include "platform/VersionApi.h"

#include <windows.h>
#include <shlwapi.h>

#include <memory>
#include <new>

namespace orvanta {
namespace {

// A failing call that left no error behind must still not read as success.
uint32_t ErrorOr(DWORD error, DWORD fallback)
{
    return error != 0 ? error : fallback;
}

// The whole version resource of a file; 0 or the error code of GetFileVersion.
uint32_t LoadVersionResource(const std::wstring& path, std::unique_ptr<BYTE[]>& data)
{
    DWORD ignored = 0;
    const DWORD size = version::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return ErrorOr(::GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    data.reset(new (std::nothrow) BYTE[size]);
    if (!data)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (!version::GetFileVersionInfoW(path.c_str(), 0, size, data.get()))
        return ErrorOr(::GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
}

// Windows 10 compatibility shims may answer with an adjusted version for system files.
bool NeedsCopy(const std::wstring& path)
{
    if (!IsWindows10OrLater(GetOsVersionInfo()))
        return false;
    static const std::wstring windowsFolder = GetWindowsFolder();
    return IsBelowWindowsFolder(path, windowsFolder);
}

} // namespace

uint32_t ReadFileVersionResource(const std::wstring& path, uint32_t& mostSignificant, uint32_t& leastSignificant)
{
    std::unique_ptr<BYTE[]> data;
    const uint32_t error = LoadVersionResource(path, data);
    if (error != 0)
        return error;
    void* block = nullptr;
    UINT length = 0;
    ::SetLastError(0);
    if (!version::VerQueryValueW(data.get(), L"\\", &block, &length) || block == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO))
        return ErrorOr(::GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
    mostSignificant = info->dwFileVersionMS;
    leastSignificant = info->dwFileVersionLS;
    return 0;
}

uint32_t ReadFileVersionThroughCopy(const std::wstring& path, uint32_t& mostSignificant, uint32_t& leastSignificant)
{
    const std::wstring copy = CreateTempFileName(GetTempFolder(), L"shim_clone", L"");
    if (copy.empty())
        return ReadFileVersionResource(path, mostSignificant, leastSignificant);
    const ScopeGuard deleteCopy([&copy] { ::DeleteFileW(copy.c_str()); });
    bool copied = false;
    {
        const Wow64RedirectionOff redirection(true);
        copied = ::CopyFileW(path.c_str(), copy.c_str(), FALSE) != FALSE;
    }
    if (!copied)
        return ReadFileVersionResource(path, mostSignificant, leastSignificant);
    return ReadFileVersionResource(copy, mostSignificant, leastSignificant);
}

bool IsBelowWindowsFolder(const std::wstring& path, const std::wstring& windowsFolder)
{
    return !windowsFolder.empty() && StartsWith(path, windowsFolder);
}

uint32_t GetFileVersion(const std::wstring& path, uint32_t& mostSignificant, uint32_t& leastSignificant)
{
    if (NeedsCopy(path))
        return ReadFileVersionThroughCopy(path, mostSignificant, leastSignificant);
    return ReadFileVersionResource(path, mostSignificant, leastSignificant);
}

std::wstring GetVersionResourceString(const std::wstring& path)
{
    std::unique_ptr<BYTE[]> data;
    if (LoadVersionResource(path, data) != 0)
        return {};
    WORD language = 0x0409;
    WORD codePage = 0x04E2;
    void* translation = nullptr;
    UINT length = 0;
    if (version::VerQueryValueW(data.get(), L"\\VarFileInfo\\Translation", &translation, &length) &&
        translation != nullptr && length >= 2 * sizeof(WORD)) {
        language = static_cast<const WORD*>(translation)[0];
        codePage = static_cast<const WORD*>(translation)[1];
    }
    const std::wstring block = Format(L"\\StringFileInfo\\%04x%04x\\%ls", static_cast<unsigned>(language),
                                      static_cast<unsigned>(codePage), L"ProductName");
    void* text = nullptr;
    length = 0;
    if (!version::VerQueryValueW(data.get(), block.c_str(), &text, &length) || text == nullptr || length == 0)
        return {};
    // The length counts the terminating zero when there is one.
    std::wstring value(static_cast<const wchar_t*>(text), length);
    return value.substr(0, value.find(L'\0'));
}

bool GetDllVersion(const std::wstring& libraryPath, uint32_t& majorVersion)
{
    const bool bareName = libraryPath.find(L'\\') == std::wstring::npos && libraryPath.find(L'/') == std::wstring::npos;
    UniqueModule library = bareName ? LoadSystemLibrary(libraryPath) : UniqueModule(::LoadLibraryW(libraryPath.c_str()));
    if (!library)
        return false;
    const auto dllGetVersion = GetModuleFunction<DLLGETVERSIONPROC>(library.Get(), "DllGetVersion");
    if (dllGetVersion != nullptr) {
        DLLVERSIONINFO info{};
        info.cbSize = 20;
        if (dllGetVersion(&info) != S_OK)
            return false;
        majorVersion = info.dwMajorVersion;
        return true;
    }
    std::wstring path = libraryPath;
    if (bareName) {
        wchar_t buffer[MAX_PATH];
        const DWORD length = ::GetModuleFileNameW(library.Get(), buffer, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return false;
        path.assign(buffer, length);
    }
    library.Reset();
    uint32_t mostSignificant = 0;
    uint32_t leastSignificant = 0;
    if (GetFileVersion(path, mostSignificant, leastSignificant) != 0)
        return false;
    majorVersion = mostSignificant >> 16;
    return true;
}

} // namespace orvanta
