// Linked into a test build of the chainer: the restart question is the real one, the restart
// is not. A started restart is recorded as HKCU\Software\OrvantaUiTest\RestartStarted = "1".
#include "install/Reboot.h"

#include <windows.h>

namespace {

bool RecordRestart()
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\OrvantaUiTest", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    const wchar_t value[] = L"1";
    const bool written = ::RegSetValueExW(key, L"RestartStarted", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                          sizeof(value)) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return written;
}

const orvanta::RebootActions kActions{orvanta::RealRebootActions().askToRestart, &RecordRestart};

// Installed before wWinMain runs.
const struct InstallFakeRestart {
    InstallFakeRestart() { orvanta::SetRebootActions(&kActions); }
} installFakeRestart;

} // namespace
