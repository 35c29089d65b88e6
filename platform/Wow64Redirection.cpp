#include "platform/Wow64Redirection.h"

#include "platform/OsVersion.h"
#include "platform/SystemFunction.h"

#include <windows.h>

namespace orvanta {
namespace {

using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);

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

} // namespace

const Wow64RedirectionSwitch& SystemWow64Switch()
{
    return kSystemSwitch;
}

Wow64RedirectionOff::Wow64RedirectionOff(bool wanted, const Wow64RedirectionSwitch& redirectionSwitch)
{
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

} // namespace orvanta
