// Shared pieces of the search tests: a throwaway registry subtree, search records and test files.
#pragma once

#include "config/Config.h"
#include "detection/Searches.h"
#include "platform/UniqueResource.h"
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

    // The key path with the root name the searches read.
    std::wstring SearchPath(const std::wstring& rest = L"") const
    {
        return (root_ == HKEY_LOCAL_MACHINE ? L"HKLM\\" : L"HKCU\\") + Path(rest);
    }

    bool SetString(const std::wstring& subKey, const std::wstring& name, const std::wstring& value,
                   REGSAM view = 0, DWORD type = REG_SZ) const
    {
        const DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        return SetRaw(subKey, name, type, value.c_str(), size, view);
    }
    bool SetDword(const std::wstring& subKey, const std::wstring& name, DWORD value) const
    {
        return SetRaw(subKey, name, REG_DWORD, &value, sizeof(value));
    }
    bool SetRaw(const std::wstring& subKey, const std::wstring& name, DWORD type, const void* data, DWORD size,
                REGSAM view = 0) const
    {
        return testing_support::SetRegistryValue(root_, Path(subKey), name, type, data, size, view);
    }
    bool CreateKey(const std::wstring& subKey) const
    {
        orvanta::UniqueKey key;
        const std::wstring path = Path(subKey);
        return ::RegCreateKeyExW(root_, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr) ==
               ERROR_SUCCESS;
    }

private:
    std::wstring Path(const std::wstring& subKey) const { return subKey.empty() ? path_ : path_ + L"\\" + subKey; }
    void Delete() const
    {
        const std::wstring leaf = path_.substr(path_.rfind(L'\\') + 1);
        for (REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
            orvanta::UniqueKey parent;
            if (::RegOpenKeyExW(root_, L"Software\\OrvantaTests", 0, KEY_ALL_ACCESS | view, parent.Put()) ==
                ERROR_SUCCESS) {
                ::RegDeleteTreeW(parent.Get(), leaf.c_str());
                ::RegDeleteKeyExW(parent.Get(), leaf.c_str(), view, 0);
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

// The answer of one search evaluated alone, as a prerequisite's search list evaluates it.
inline bool Holds(const orvanta::PrereqSearch& search)
{
    std::vector<orvanta::SearchFinding> findings;
    return orvanta::EvaluateSearches({search}, findings, 0, false, nullptr);
}

using Versions = std::vector<std::wstring>;

// versioned.exe carries 1.2.3.4; testhelper.exe has no version resource.
inline std::wstring Versioned() { return testing_support::EnvironmentValue(L"ORVANTA_VERSIONED"); }
inline std::wstring Unversioned() { return testing_support::EnvironmentValue(L"ORVANTA_TESTHELPER"); }

using testing_support::BesideTestProgram;

// A name no other test run uses.
inline std::wstring UniqueName(const std::wstring& stem)
{
    static unsigned counter = 0;
    return stem + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L"-" +
           std::to_wstring(::GetTickCount());
}

} // namespace search_tests
