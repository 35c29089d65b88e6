#include "platform/Wow64Redirection.h"
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

} // namespace

Wow64RedirectionOff::Wow64RedirectionOff(bool active)
{
    if (!active || DisableFunction() == nullptr || RevertFunction() == nullptr)
        return;
    disabled_ = DisableFunction()(&oldValue_) != FALSE;
}

Wow64RedirectionOff::~Wow64RedirectionOff()
{
    if (disabled_) {
        const DWORD lastError = ::GetLastError();
        RevertFunction()(oldValue_);
        ::SetLastError(lastError);
    }
}

} // namespace orvanta
