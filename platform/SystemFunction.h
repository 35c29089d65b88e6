// Run-time lookup of optional system functions, for APIs that older Windows versions lack.
#pragma once

#include <windows.h>

namespace orvanta {

// The function `name` of a loaded module; null when the module or the function is missing.
template <typename Function>
Function GetModuleFunction(HMODULE module, const char* name)
{
    return module == nullptr ? nullptr
                             : reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The same for a module the process has loaded already (kernel32, advapi32, ...).
template <typename Function>
Function GetLoadedFunction(const wchar_t* moduleName, const char* name)
{
    return GetModuleFunction<Function>(::GetModuleHandleW(moduleName), name);
}

} // namespace orvanta
