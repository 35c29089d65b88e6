// Plays an installer or a search program in tests.
//   testhelper [--set HIVE\Key\Path\Name=Value] [--sleep MS] [--crash] [--exit CODE]
//              [--report FILE] [--signal EVENT] [--wait EVENT] [--spawn "ARGS"]
// HIVE is HKCU or HKLM; the value is written as REG_SZ before the program exits with CODE.
// The flags run in the order given:
//   --report FILE   writes UTF-16 lines pid=, show= (the startup show command, -1 when none
//                   was given), cwd=, cmdline=
//   --signal EVENT  sets the named event (the test's "ready" signal)
//   --wait EVENT    waits at most 60 s for the named event (the test's "go on" signal)
//   --spawn "ARGS"  starts another testhelper with ARGS and goes on without waiting
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

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
    return RegSetKeyValueW(root, keyPath.c_str(), name.c_str(), REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteReport(const std::wstring& path)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    wchar_t numbers[96];
    swprintf(numbers, 96, L"pid=%lu\r\nshow=%d\r\n", GetCurrentProcessId(), show);
    const std::wstring text = std::wstring(1, L'\xFEFF') + numbers + L"cwd=" + folder + L"\r\ncmdline=" +
                              GetCommandLineW() + L"\r\n";
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const bool ok = WriteFile(file, text.c_str(), size, &written, nullptr) && written == size;
    CloseHandle(file);
    return ok;
}

// Sets the named event, or waits at most 60 s for it.
bool UseEvent(const std::wstring& name, bool wait)
{
    const HANDLE event = OpenEventW(wait ? SYNCHRONIZE : EVENT_MODIFY_STATE, FALSE, name.c_str());
    if (event == nullptr)
        return false;
    const bool ok = wait ? WaitForSingleObject(event, 60000) == WAIT_OBJECT_0 : SetEvent(event) != FALSE;
    CloseHandle(event);
    return ok;
}

bool SpawnSelf(const std::wstring& arguments)
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::wstring line = L"\"" + std::wstring(self, length) + L"\" " + arguments;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
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
        } else if (argument == L"--report" && hasValue) {
            if (!WriteReport(argv[++i]))
                return 9002;
        } else if ((argument == L"--signal" || argument == L"--wait") && hasValue) {
            if (!UseEvent(argv[++i], argument == L"--wait"))
                return argument == L"--wait" ? 9006 : 9003;
        } else if (argument == L"--spawn" && hasValue) {
            if (!SpawnSelf(argv[++i]))
                return 9004;
        } else if (argument == L"--crash") {
            volatile int* nowhere = nullptr;
            *nowhere = 1;
        }
    }
    ExitProcess(exitCode);
}
