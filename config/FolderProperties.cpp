#include "config/FolderProperties.h"

#include "config/References.h"
#include "platform/OsVersion.h"
#include "platform/RegistryRead.h"
#include "platform/Paths.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

#include <windows.h>
#include <shlobj.h>

#include <utility>

namespace orvanta {
namespace {

std::wstring EnvironmentValue(const std::wstring& name)
{
    // The variable may grow between the size query and the read: retry a few times.
    DWORD size = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    for (int attempt = 0; attempt < 4 && size != 0; ++attempt) {
        std::wstring value(size, L'\0');
        const DWORD length = ::GetEnvironmentVariableW(name.c_str(), &value[0], size);
        if (length < size) {
            value.resize(length);
            return value;
        }
        size = length;
    }
    return {};
}

bool EnvironmentDefined(const std::wstring& name)
{
    return ::GetEnvironmentVariableW(name.c_str(), nullptr, 0) != 0;
}

bool AssignFolder(const wchar_t* path, std::wstring& value)
{
    if (path[0] == L'\0')
        return false;  // an empty answer is no folder: "[X]name" must not become "name"
    value = WithTrailingBackslash(path);
    return true;
}

bool ShellFolder(int csidl, std::wstring& value)
{
    std::wstring path;
    return GetSpecialFolderPath(csidl, path) && AssignFolder(path.c_str(), value);
}

// Systems before Windows 2000 may lack both shell functions; two folders then come from the
// environment, as those systems set them.
bool LegacyShellFolder(const std::wstring& name, std::wstring& value)
{
    if (GetOsVersionInfo().major >= 5)
        return false;
    const wchar_t* variable = name == L"ProgramFilesFolder" ? L"PROGRAMFILES"
                              : name == L"AppDataFolder"    ? L"APPDATA"
                                                            : nullptr;
    if (variable == nullptr || !EnvironmentDefined(variable))
        return false;
    value = EnvironmentValue(variable);
    return true;
}

bool SystemFolder(bool use64, std::wstring& value)
{
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathW(nullptr, use64 ? CSIDL_SYSTEM : CSIDL_SYSTEMX86, nullptr,
                                        SHGFP_TYPE_CURRENT, path)) &&
           AssignFolder(path, value);
}

const std::wstring& SetupExeFolder()
{
    static const std::wstring folder = [] {
        const std::wstring path = GetModulePath();
        const size_t slash = path.rfind(L'\\');
        return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    }();
    return folder;
}

const std::pair<const wchar_t*, int> kShellFolders[] = {
    {L"ProgramFilesFolder", CSIDL_PROGRAM_FILES},
    {L"CommonFilesFolder", CSIDL_PROGRAM_FILES_COMMON},
    {L"DesktopFolder", CSIDL_DESKTOPDIRECTORY},
    {L"AllUsersDesktopFolder", CSIDL_COMMON_DESKTOPDIRECTORY},
    {L"AppDataFolder", CSIDL_APPDATA},
    {L"FavoritesFolder", CSIDL_FAVORITES},
    {L"StartMenuFolder", CSIDL_STARTMENU},
    {L"ProgramMenuFolder", CSIDL_PROGRAMS},
    {L"StartupFolder", CSIDL_STARTUP},
    {L"FontsFolder", CSIDL_FONTS},
    {L"LocalAppDataFolder", CSIDL_LOCAL_APPDATA},
    {L"CommonAppDataFolder", CSIDL_COMMON_APPDATA},
    {L"ProgramFiles64Folder", CSIDL_PROGRAM_FILES},
    {L"ProgramFiles", CSIDL_PROGRAM_FILES},
};

} // namespace

bool GetFolderProperty(const std::wstring& name, bool use64, std::wstring& value)
{
    if (!IsFolderPropertyName(name))
        return false;
    if (name == L"ProgramFiles64Folder" && EnvironmentDefined(L"ProgramW6432")) {
        value = WithTrailingBackslash(EnvironmentValue(L"ProgramW6432"));
        return true;
    }
    if (name == L"SystemFolder")
        return SystemFolder(use64, value);
    if (name == L"System32Folder") {
        wchar_t buffer[MAX_PATH];
        const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return false;
        value.assign(buffer, length);
        return true;
    }
    if (name == L"WindowsFolder" || name == L"WindowsVolume") {
        const std::wstring windows = GetWindowsFolder();
        if (windows.empty())
            return false;
        value = name == L"WindowsFolder" ? windows : windows.substr(0, 3);
        return true;
    }
    if (name == L"TempFolder") {
        value = WithTrailingBackslash(GetTempFolder());
        return !value.empty();
    }
    if (name == L"SETUPEXEDIR") {
        value = SetupExeFolder();
        return !value.empty();
    }
    for (const auto& folder : kShellFolders) {
        if (name == folder.first)
            return ShellFolder(folder.second, value) || LegacyShellFolder(name, value);
    }
    return false;
}

std::wstring ExpandReferences(const std::wstring& text, bool use64)
{
    std::wstring result;
    for (const ReferencePart& part : SplitReferences(text)) {
        switch (part.kind) {
        case ReferencePart::Folder: {
            std::wstring value;
            result += GetFolderProperty(part.text, use64, value) ? value : WrittenForm(part);
            break;
        }
        case ReferencePart::Environment: result += EnvironmentValue(part.text); break;
        case ReferencePart::Registry: result += ReadRegistryReference(part.text, use64); break;
        default: result += part.text; break;
        }
    }
    return result;
}

} // namespace orvanta
