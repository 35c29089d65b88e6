// Shared pieces of the search tests: a throwaway registry subtree and search records.
#pragma once

#include "chainer/Config.h"
#include "detection/Searches.h"
#include "TestSupport.h"

#include <windows.h>

#include <string>
#include <vector>

namespace search_tests {

// HKCU or HKLM "Software\OrvantaTests\<name>-<pid>", deleted (in both views) at scope end.
class RegistryScope {
public:
    RegistryScope(HKEY root, const std::wstring& name)
        : root_(root),
          path_(L"Software\\OrvantaTests\\" + name + L"-" + std::to_wstring(::GetCurrentProcessId()))
    {
        Delete();
    }
    ~RegistryScope() { Delete(); }
    RegistryScope(const RegistryScope&) = delete;
    RegistryScope& operator=(const RegistryScope&) = delete;

    // The key path below the root, and the same with the root name the searches read.
    const std::wstring& Path() const { return path_; }
    std::wstring SearchPath(const std::wstring& rest = L"") const
    {
        const std::wstring rootName = root_ == HKEY_LOCAL_MACHINE ? L"HKLM\\" : L"HKCU\\";
        return rootName + path_ + (rest.empty() ? L"" : L"\\" + rest);
    }

    bool SetString(const std::wstring& subKey, const std::wstring& name, const std::wstring& value,
                   REGSAM view = 0, DWORD type = REG_SZ) const
    {
        return SetRaw(subKey, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), view);
    }
    bool SetDword(const std::wstring& subKey, const std::wstring& name, DWORD value) const
    {
        return SetRaw(subKey, name, REG_DWORD, &value, sizeof(value), 0);
    }
    bool SetRaw(const std::wstring& subKey, const std::wstring& name, DWORD type, const void* data, DWORD size,
                REGSAM view) const
    {
        HKEY key = nullptr;
        const std::wstring path = subKey.empty() ? path_ : path_ + L"\\" + subKey;
        if (::RegCreateKeyExW(root_, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        const LSTATUS status =
            ::RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }
    bool CreateKey(const std::wstring& subKey, REGSAM view = 0) const
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(root_, (path_ + L"\\" + subKey).c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(key);
        return true;
    }

private:
    void Delete() const
    {
        for (REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
            ::RegDeleteTreeW(root_, path_.c_str());
            HKEY parent = nullptr;
            if (::RegOpenKeyExW(root_, L"Software\\OrvantaTests", 0, KEY_ALL_ACCESS | view, &parent) == ERROR_SUCCESS) {
                const std::wstring leaf = path_.substr(path_.rfind(L'\\') + 1);
                ::RegDeleteTreeW(parent, leaf.c_str());
                ::RegDeleteKeyExW(parent, leaf.c_str(), view, 0);
                ::RegCloseKey(parent);
            }
        }
    }

    HKEY root_;
    std::wstring path_;
};

inline orvanta::PrereqSearch Search(orvanta::SearchType type, const std::wstring& text, const std::wstring& verMin = L"",
                                    const std::wstring& verMax = L"", const std::wstring& refContent = L"")
{
    orvanta::PrereqSearch search;
    search.SearchType = static_cast<int32_t>(type);
    search.SearchString = text;
    search.VerMin = verMin;
    search.VerMax = verMax;
    search.RefContent = refContent;
    return search;
}

inline orvanta::SearchFinding Find(orvanta::SearchType type, const std::wstring& text, bool use64 = false)
{
    orvanta::SearchFinding finding;
    orvanta::RunSearch(Search(type, text), use64, finding);
    return finding;
}

// A name no other test run uses.
inline std::wstring UniqueName(const std::wstring& stem)
{
    static unsigned counter = 0;
    return stem + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L"-" +
           std::to_wstring(::GetTickCount());
}

} // namespace search_tests
