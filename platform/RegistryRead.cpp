#include "platform/RegistryRead.h"

#include "platform/OsVersion.h"
#include "platform/Text.h"

#include <cstring>
#include <vector>

namespace orvanta {

HKEY RegistryRootFromName(const std::wstring& name)
{
    const wchar_t* text = name.c_str();
    if (_wcsicmp(text, L"HKLM") == 0 || _wcsicmp(text, L"HKEY_LOCAL_MACHINE") == 0)
        return HKEY_LOCAL_MACHINE;
    if (_wcsicmp(text, L"HKCU") == 0 || _wcsicmp(text, L"HKEY_CURRENT_USER") == 0)
        return HKEY_CURRENT_USER;
    if (_wcsicmp(text, L"HKCR") == 0 || _wcsicmp(text, L"HKEY_CLASSES_ROOT") == 0)
        return HKEY_CLASSES_ROOT;
    if (_wcsicmp(text, L"HKCC") == 0 || _wcsicmp(text, L"HKEY_CURRENT_CONFIG") == 0)
        return HKEY_CURRENT_CONFIG;
    return HKEY_USERS;
}

UniqueKey OpenRegistryKey(const std::wstring& path, REGSAM access)
{
    UniqueKey key;
    const size_t slash = path.find(L'\\');
    // An empty sub-key would open the predefined root itself.
    if (slash == std::wstring::npos || slash + 1 == path.size())
        return key;
    const HKEY root = RegistryRootFromName(path.substr(0, slash));
    const std::wstring subKey = path.substr(slash + 1);
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, access, key.Put()) != ERROR_SUCCESS)
        key.Release();
    return key;
}

UniqueKey OpenRegistryPath(const std::wstring& path, bool use64)
{
    REGSAM access = KEY_READ;
    if (use64 && GetOsVersionInfo().wow64)
        access |= KEY_WOW64_64KEY;
    return OpenRegistryKey(path, access);
}

bool SplitRegistryValuePath(const std::wstring& text, std::wstring& keyPath, std::wstring& valueName)
{
    const size_t slash = text.rfind(L'\\');
    if (slash == std::wstring::npos)
        return false;
    keyPath = text.substr(0, slash);
    valueName = text.substr(slash + 1);
    return true;
}

bool ReadRegistryValueText(HKEY key, const std::wstring& valueName, std::wstring& text)
{
    std::vector<BYTE> buffer(200);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    LSTATUS status = ::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, buffer.data(), &size);
    while (status == ERROR_MORE_DATA) {
        buffer.assign(size + 2, 0);
        size = static_cast<DWORD>(buffer.size());
        status = ::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, buffer.data(), &size);
    }
    if (status != ERROR_SUCCESS)
        return false;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
        std::wstring value(reinterpret_cast<const wchar_t*>(buffer.data()), size / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
        text = std::move(value);
        return true;
    }
    case REG_DWORD: {
        if (size < sizeof(DWORD))
            return false;
        DWORD number = 0;
        std::memcpy(&number, buffer.data(), sizeof(number));
        text = Format(L"%u", static_cast<unsigned>(number));
        return true;
    }
    default:
        return false;
    }
}

std::wstring ReadRegistryReference(const std::wstring& path, bool use64)
{
    std::wstring keyPath;
    std::wstring valueName;
    if (!SplitRegistryValuePath(path, keyPath, valueName))
        return {};
    const UniqueKey key = OpenRegistryPath(keyPath, use64);
    std::wstring text;
    if (!key || !ReadRegistryValueText(key.Get(), valueName, text))
        return {};
    return text;
}

} // namespace orvanta
