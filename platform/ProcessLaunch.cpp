#include "platform/ProcessLaunch.h"

#include "platform/Paths.h"
#include "platform/ProcessUtil.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"

#include <cwctype>
#include <vector>

namespace orvanta {
namespace {

constexpr ULONG kShellMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;

// The file's folder as a working folder. A bare drive ("C:") would mean the drive's current
// folder rather than its root, so the root gets its backslash back.
std::wstring FolderOfFile(const std::wstring& file)
{
    const size_t slash = file.rfind(L'\\');
    if (slash == std::wstring::npos)
        return {};
    std::wstring folder = file.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return folder;
}

const wchar_t* NullWhenEmpty(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

void StoreExitCode(uint32_t* exitCode, DWORD value)
{
    if (exitCode != nullptr)
        *exitCode = value;
}

// Waits for the process to end and reports its exit code; the handle is closed by its owner.
void WaitForExit(HANDLE process, uint32_t* exitCode)
{
    ::WaitForSingleObject(process, INFINITE);
    if (exitCode == nullptr)
        return;
    DWORD code = 0;
    *exitCode = ::GetExitCodeProcess(process, &code) ? code : ::GetLastError();
}

std::wstring LowerCaseTail(const std::wstring& text, size_t count)
{
    std::wstring tail = text.size() >= count ? text.substr(text.size() - count) : text;
    for (wchar_t& c : tail)
        c = static_cast<wchar_t>(std::towlower(c));
    return tail;
}

struct WindowSearch {
    DWORD processId = 0;
    HWND found = nullptr;
};

BOOL CALLBACK RememberProcessWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId)
        return TRUE;
    search->found = window;
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    const bool captionedAndVisible = (style & WS_CAPTION) == WS_CAPTION && (style & WS_VISIBLE) != 0;
    return captionedAndVisible ? FALSE : TRUE;
}

// Up to five looks, 50 ms apart, for a window of the process; brings the first one found up.
bool BringWindowOfProcessToTop(DWORD processId)
{
    constexpr int kAttempts = 5;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ::Sleep(50);
        WindowSearch search;
        search.processId = processId;
        ::EnumWindows(RememberProcessWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            ::BringWindowToTop(search.found);
            return true;
        }
    }
    return false;
}

} // namespace

bool RunProcessAndWait(const std::wstring& application, const std::wstring& commandLine, uint32_t creationFlags,
                       uint32_t* exitCode)
{
    // Nothing to start; CreateProcessW given neither text may fault instead of failing.
    if (application.empty() && commandLine.empty()) {
        StoreExitCode(exitCode, ERROR_INVALID_PARAMETER);
        return false;
    }
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION information{};
    if (!::CreateProcessW(NullWhenEmpty(application), commandLine.empty() ? nullptr : mutableCommandLine.data(),
                          nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr, &startup, &information)) {
        StoreExitCode(exitCode, ::GetLastError());
        return false;
    }
    const UniqueHandle process(information.hProcess);
    const UniqueHandle thread(information.hThread);
    if (process)
        WaitForExit(process.Get(), exitCode);
    return true;
}

bool ShellExecuteAndWait(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder,
                         bool quiet, uint32_t* exitCode)
{
    const std::wstring target = WithoutLongPathPrefix(file);
    const std::wstring workingFolder = folder.empty() ? FolderOfFile(target) : WithoutLongPathPrefix(folder);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = kShellMask;
    info.lpVerb = L"open";
    info.lpFile = target.c_str();
    info.lpParameters = NullWhenEmpty(parameters);
    info.lpDirectory = NullWhenEmpty(workingFolder);
    info.nShow = quiet ? SW_HIDE : SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) {
        StoreExitCode(exitCode, ::GetLastError());
        return false;
    }
    const UniqueHandle process(info.hProcess);
    if (!process) {
        // Handed to a program that was already running: nothing to wait for, nothing failed.
        StoreExitCode(exitCode, 0);
        return true;
    }
    ::AllowSetForegroundWindow(::GetProcessId(process.Get()));
    if (!quiet) {
        ::AttachThreadInput(::GetCurrentThreadId(), ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr),
                            TRUE);
        BringProcessWindowToTop(process.Get());
    }
    WaitForExit(process.Get(), exitCode);
    return true;
}

bool SystemShellExecute(SHELLEXECUTEINFOW* info)
{
    return ::ShellExecuteExW(info) != FALSE;
}

bool ShellExecuteDetached(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder,
                          bool elevate, ShellExecuteFunction shellExecute)
{
    std::wstring target = file;
    std::wstring arguments = parameters;
    const std::wstring extension = LowerCaseTail(file, 4);
    if (elevate && (extension == L".bat" || extension == L".cmd")) {
        // The elevation prompt needs a program: scripts run through the command processor.
        target = Format(L"%ls\\System32\\cmd.exe", GetWindowsFolder().c_str());
        arguments = Format(L"/C \"\"%ls\" %ls\"", file.c_str(), parameters.c_str());
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = kShellMask;
    info.lpVerb = elevate ? L"runas" : L"open";
    info.lpFile = target.c_str();
    info.lpParameters = NullWhenEmpty(arguments);
    info.lpDirectory = NullWhenEmpty(folder);
    info.nShow = SW_HIDE;
    if (elevate)
        info.hwnd = ::GetForegroundWindow();
    if (!shellExecute(&info)) {
        const auto instanceResult = reinterpret_cast<INT_PTR>(info.hInstApp);
        if (instanceResult == SE_ERR_NOASSOC || instanceResult == SE_ERR_ASSOCINCOMPLETE) {
            // Let the shell offer its own choice of program.
            info.fMask &= ~static_cast<ULONG>(SEE_MASK_FLAG_NO_UI);
            info.lpVerb = nullptr;
            info.hProcess = nullptr;
            shellExecute(&info);
        }
    }
    const UniqueHandle process(info.hProcess);
    if (process)
        ::AllowSetForegroundWindow(::GetProcessId(process.Get()));
    return true;
}

DWORD WaitDispatchingMessages(HANDLE handle)
{
    for (;;) {
        const DWORD result = ::MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT | QS_ALLPOSTMESSAGE,
                                                           MWMO_INPUTAVAILABLE);
        if (result != WAIT_OBJECT_0 + 1)
            return result;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

bool WaitWithMessagePump(HANDLE handle)
{
    return WaitDispatchingMessages(handle) == WAIT_OBJECT_0;
}

void BringProcessWindowToTop(HANDLE process)
{
    if (process == nullptr)
        return;
    ::Sleep(500);
    for (const uint32_t processId : ProcessUtil::GetProcessTree(::GetProcessId(process))) {
        if (BringWindowOfProcessToTop(processId))
            return;
    }
}

} // namespace orvanta
