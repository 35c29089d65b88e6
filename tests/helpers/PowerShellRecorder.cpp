// Stands in for powershell.exe in the test prefix: writes its working folder and command line
// (UTF-16 with byte-order mark, lines "cwd=" and "cmdline=") to the file that the environment
// variable ORVANTA_POWERSHELL_RECORD names, and exits with 0.
#include <windows.h>

#include <string>

int wmain()
{
    wchar_t record[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"ORVANTA_POWERSHELL_RECORD", record, MAX_PATH) == 0)
        return 0;
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    const std::wstring text =
        std::wstring(1, L'\xFEFF') + L"cwd=" + folder + L"\r\ncmdline=" + GetCommandLineW() + L"\r\n";
    // Written under another name first: the test reads the record as soon as it exists.
    const std::wstring partial = std::wstring(record) + L".part";
    const HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), record, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
