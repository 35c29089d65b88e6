#include "run/PowerShellCleanup.h"

#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/ProcessLaunch.h"
#include "platform/TempFolder.h"
#include "run/CleanupRules.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace orvanta {

std::wstring PowerShellPath()
{
    wchar_t path[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, 0, path)) ||
        !::PathAppendW(path, L"WindowsPowerShell\\v1.0\\powershell.exe") || !::PathFileExistsW(path))
        return {};
    return path;
}

bool PowerShellCleanup::Run() const
{
    if (paths.empty())
        return true;
    // The copy gets a name of its own so that the script can delete the original, and it is
    // reserved as an empty file first so that no one else can take that name in between.
    const std::wstring copy = CreateTempFileName(GetTempFolder(), L"OV_", L".ps1");
    if (copy.empty())
        return false;
    const std::wstring powerShell = PowerShellPath();
    if (powerShell.empty() || !::CopyFileW(MakeLongPath(scriptPath).c_str(), MakeLongPath(copy).c_str(), FALSE)) {
        ::DeleteFileW(MakeLongPath(copy).c_str());
        return false;
    }
    // The copy stays: the script removes it itself.
    FlushLog();  // as before every program the chainer starts
    return ShellExecuteDetached(powerShell, PowerShellParameters(copy, paths, retryCount), GetParentFolder(scriptPath),
                                elevated);
}

} // namespace orvanta
