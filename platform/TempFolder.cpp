#include "platform/TempFolder.h"

#include "platform/LocalSystem.h"
#include "platform/AclBuilder.h"
#include "platform/Paths.h"
#include "platform/SystemFunction.h"

#include <windows.h>
#include <shlwapi.h>


namespace orvanta {
namespace {

using GetTempPath2Fn = DWORD(WINAPI*)(DWORD, LPWSTR);

GetTempPath2Fn LookUpGetTempPath2()
{
    static const GetTempPath2Fn function = GetLoadedFunction<GetTempPath2Fn>(L"Kernel32.dll", "GetTempPath2W");
    return function;
}

std::wstring SystemTempPath()
{
    wchar_t buffer[MAX_PATH];
    if (const GetTempPath2Fn getTempPath2 = LookUpGetTempPath2()) {
        const DWORD length = getTempPath2(MAX_PATH, buffer);
        return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
    }
    const UINT length = ::GetWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(buffer, length) + L"\\SystemTemp\\";
}

void CreateSystemOnlyFolder(const std::wstring& folder)
{
    AclBuilder acl;
    acl.AddEntry(L"S-1-5-18", true);
    acl.AddEntry(L"S-1-5-32-544", true);
    PSECURITY_DESCRIPTOR descriptor = acl.Build();
    if (descriptor == nullptr)
        return;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    ::CreateDirectoryW(folder.c_str(), &attributes);
}

} // namespace

std::wstring ComputeTempFolder(bool localSystem)
{
    std::wstring path;
    if (!localSystem) {
        wchar_t buffer[MAX_PATH];
        const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
        if (length > 0 && length < MAX_PATH)
            path.assign(buffer, length);
    } else {
        path = SystemTempPath();
        if (!path.empty() && !::PathFileExistsW(path.c_str()))
            CreateSystemOnlyFolder(path);
    }
    return path.empty() ? path : NormalizePath(path);
}

std::wstring GetTempFolder()
{
    static const std::wstring folder = ComputeTempFolder(IsLocalSystemAccount());
    return folder;
}

std::wstring CreateTempFileName(const std::wstring& folder, const std::wstring& prefix,
                                const std::wstring& extension)
{
    // Each failed rename leaves a fresh .tmp behind that is deleted at once; the bound keeps a
    // folder full of taken names from looping forever.
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t buffer[MAX_PATH];
        if (::GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, buffer) == 0)
            return {};
        const std::wstring temporary = buffer;
        if (extension.empty())
            return temporary;

        const std::wstring bare = extension[0] == L'.' ? extension.substr(1) : extension;
        const size_t slash = temporary.rfind(L'\\');
        const size_t dot = temporary.rfind(L'.');
        const std::wstring stem =
            (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) ? temporary.substr(0, dot)
                                                                                         : temporary;
        const std::wstring wanted = stem + L"." + bare;
        if (::MoveFileW(MakeLongPath(temporary).c_str(), MakeLongPath(wanted).c_str()))
            return wanted;
        ::DeleteFileW(MakeLongPath(temporary).c_str());
    }
    return {};
}

} // namespace orvanta
