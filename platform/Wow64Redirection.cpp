#include "platform/Wow64Redirection.h"

#include "platform/OsVersion.h"
#include "platform/SystemFunction.h"

#include <windows.h>

#include <atomic>

namespace orvanta {
namespace {

using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);

std::atomic<const Wow64RedirectionSwitch*> g_testSwitch{nullptr};

// Looked up at run time: 32-bit Windows without WOW64 does not export them.
DisableFn DisableFunction()
{
    static const DisableFn function = GetLoadedFunction<DisableFn>(L"kernel32", "Wow64DisableWow64FsRedirection");
    return function;
}

RevertFn RevertFunction()
{
    static const RevertFn function = GetLoadedFunction<RevertFn>(L"kernel32", "Wow64RevertWow64FsRedirection");
    return function;
}

bool SystemDisable(void** oldValue)
{
    return GetOsVersionInfo().wow64 && DisableFunction() != nullptr && RevertFunction() != nullptr &&
           DisableFunction()(oldValue) != FALSE;
}

void SystemRevert(void* oldValue)
{
    RevertFunction()(oldValue);
}

const Wow64RedirectionSwitch kSystemSwitch{SystemDisable, SystemRevert};

const Wow64RedirectionSwitch& CurrentSwitch()
{
    const Wow64RedirectionSwitch* testSwitch = g_testSwitch.load();
    return testSwitch != nullptr ? *testSwitch : kSystemSwitch;
}

} // namespace

Wow64RedirectionOff::Wow64RedirectionOff(bool wanted)
{
    const Wow64RedirectionSwitch& redirectionSwitch = CurrentSwitch();
    if (wanted && redirectionSwitch.disable(&oldValue_))
        revert_ = redirectionSwitch.revert;
}

Wow64RedirectionOff::~Wow64RedirectionOff()
{
    if (revert_ != nullptr) {
        const DWORD lastError = ::GetLastError();
        revert_(oldValue_);
        ::SetLastError(lastError);
    }
}

void SetWow64RedirectionSwitchForTesting(const Wow64RedirectionSwitch* testSwitch)
{
    g_testSwitch.store(testSwitch);
}

} // namespace orvanta
