// Searches that look at registry keys and values.
#include "detection/SearchKinds.h"

#include "platform/RegistryRead.h"
#include "platform/UniqueResource.h"

#include <windows.h>

namespace orvanta {
namespace {

// The key of a "root\key\value" text, and the value name; an invalid key when there is no
// backslash or the key cannot be opened.
UniqueKey OpenValueKey(const std::wstring& text, bool use64, std::wstring& valueName)
{
    std::wstring keyPath;
    if (!SplitRegistryValuePath(text, keyPath, valueName))
        return UniqueKey();
    return OpenRegistryPath(keyPath, use64);
}

// Registry value names are at most 16383 characters; the buffer also holds the terminator.
const DWORD kValueNameBuffer = 16384;

} // namespace

void SearchRegistryKeyNames(const std::wstring& searchString, bool use64, SearchFinding& finding)
{
    const UniqueKey key = OpenRegistryPath(searchString, use64);
    if (!key)
        return;
    wchar_t name[260];
    for (DWORD index = 0;; ++index) {
        DWORD length = 260;
        if (::RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        finding.versions.emplace_back(name, length);
    }
}

void SearchRegistryValueVersion(const std::wstring& searchString, bool use64, SearchFinding& finding)
{
    std::wstring valueName;
    const UniqueKey key = OpenValueKey(searchString, use64, valueName);
    if (!key)
        return;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&text[0]), &size) !=
        ERROR_SUCCESS)
        return;
    finding.versions.push_back(text.substr(0, text.find(L'\0')));
}

void SearchRegistryKeyExists(const std::wstring& searchString, bool use64, SearchFinding& finding)
{
    finding.found = OpenRegistryPath(searchString, use64).IsValid();
}

void SearchRegistryValueExists(const std::wstring& searchString, bool use64, SearchFinding& finding)
{
    std::wstring valueName;
    const UniqueKey key = OpenValueKey(searchString, use64, valueName);
    finding.found =
        key && ::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void SearchRegistryValueContent(const std::wstring& searchString, bool use64, SearchFinding& finding)
{
    std::wstring valueName;
    const UniqueKey key = OpenValueKey(searchString, use64, valueName);
    if (!key)
        return;
    std::wstring text;
    finding.found = ReadRegistryValueText(key.Get(), valueName, text);
    if (finding.found)
        finding.value = std::move(text);
}

void SearchRegistryValueNames(const std::wstring& searchString, bool use64, SearchFinding& finding)
{
    // The 64-bit view whenever asked for, also on 32-bit Windows, unlike the other searches.
    const UniqueKey key = OpenRegistryKey(searchString, KEY_READ | (use64 ? KEY_WOW64_64KEY : 0));
    if (!key)
        return;
    std::wstring name(kValueNameBuffer, L'\0');
    LSTATUS status = ERROR_SUCCESS;
    for (DWORD index = 0;; ++index) {
        DWORD length = kValueNameBuffer;
        status = ::RegEnumValueW(key.Get(), index, &name[0], &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        finding.versions.push_back(name.substr(0, length));
    }
    finding.found = status == ERROR_NO_MORE_ITEMS;
}

} // namespace orvanta
