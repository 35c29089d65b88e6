#include "install/Reboot.h"

#include "platform/Logger.h"
#include "platform/MessageBox.h"
#include "platform/UniqueResource.h"
#include "platform/Resources.h"
#include "platform/resource.h"

#include <windows.h>


namespace orvanta {
namespace {

int AskToRestart()
{
    const std::wstring text = LoadStringResource(IDS_REBOOT_PROMPT);
    const std::wstring caption = LoadStringResource(IDS_CONFIRMATION);
    return ShowMessageBox(::GetForegroundWindow(), text.c_str(), caption.c_str(), MB_YESNO | MB_ICONINFORMATION);
}

bool EnableShutdownPrivilege(HANDLE token)
{
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        return false;
    ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // ERROR_NOT_ALL_ASSIGNED comes with a successful call: only 0 means the privilege is on.
    return ::GetLastError() == ERROR_SUCCESS;
}

bool Restart()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put()))
        return false;
    if (!EnableShutdownPrivilege(token.Get()))
        return false;
    return ::ExitWindowsEx(EWX_REBOOT | EWX_FORCE, SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION |
                                                       SHTDN_REASON_MINOR_INSTALLATION) != FALSE;
}

} // namespace

RebootActions RealRebootActions()
{
    return RebootActions{&AskToRestart, &Restart};
}

bool RebootMachine(const RebootActions& actions, bool silent, bool& rebootNeeded)
{
    // Only a Yes restarts: a question that could not be shown (no desktop, 0) or was closed
    // otherwise must not end with the person's work lost to a forced restart.
    if (!silent && actions.askToRestart() != IDYES) {
        rebootNeeded = true;
        return false;
    }
    FlushLog();  // a forced restart may not wait for the system's cache
    return actions.restart();
}

} // namespace orvanta
