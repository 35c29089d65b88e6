// Plays an installer or a search program in tests.
//   testhelper [--set HIVE\Key\Path\Name=Value] [--sleep MS] [--crash] [--exit CODE]
// HIVE is HKCU or HKLM; the value is written as REG_SZ before the program exits with CODE.
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

bool SetRegistryValue(const std::wstring& spec)
{
    const size_t equals = spec.find(L'=');
    const size_t firstSlash = spec.find(L'\\');
    if (equals == std::wstring::npos || firstSlash == std::wstring::npos || firstSlash > equals)
        return false;
    const std::wstring path = spec.substr(0, equals);
    const std::wstring value = spec.substr(equals + 1);
    const size_t lastSlash = path.rfind(L'\\');
    const std::wstring hive = path.substr(0, firstSlash);
    const HKEY root = hive == L"HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::wstring keyPath = path.substr(firstSlash + 1, lastSlash - firstSlash - 1);
    const std::wstring name = path.substr(lastSlash + 1);
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LSTATUS status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    DWORD exitCode = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == L"--exit" && hasValue) {
            exitCode = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 0));
        } else if (argument == L"--set" && hasValue) {
            if (!SetRegistryValue(argv[++i]))
                return 9001;
        } else if (argument == L"--sleep" && hasValue) {
            Sleep(static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10)));
        } else if (argument == L"--crash") {
            volatile int* nowhere = nullptr;
            *nowhere = 1;
        }
    }
    ExitProcess(exitCode);
}
