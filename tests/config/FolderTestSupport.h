// Small helpers shared by the folder-property tests.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace folder_tests {

// Sets (or, with null, removes) an environment variable and restores it at scope end.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name)
    {
        const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
        if (size != 0) {
            original_.resize(size);
            const DWORD length = ::GetEnvironmentVariableW(name, &original_[0], size);
            original_.resize(length < size ? length : 0);
            existed_ = true;
        }
        ::SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironment() { ::SetEnvironmentVariableW(name_.c_str(), existed_ ? original_.c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring name_;
    std::wstring original_;
    bool existed_ = false;
};

// SHGetFolderPathW's answer, empty when it has none.
inline std::wstring ShellFolderPath(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

inline std::wstring WindowsDirectory()
{
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(path, MAX_PATH);
    return std::wstring(path, length < MAX_PATH ? length : 0);
}

} // namespace folder_tests
