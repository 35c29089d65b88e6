// Linked into a test build of the chainer: the restart question is the real one, the restart
// is not. A started restart is recorded as HKCU\Software\OrvantaUiTest\RestartStarted = "1".
#include "run/RunServices.h"

#include <windows.h>

namespace {

bool RecordRestart()
{
    const wchar_t value[] = L"1";
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\OrvantaUiTest", L"RestartStarted", REG_SZ, value,
                             sizeof(value)) == ERROR_SUCCESS;
}

} // namespace

orvanta::RunServices TestRunServices()
{
    orvanta::RunServices services;
    services.install.reboot.restart = &RecordRestart;
    return services;
}
