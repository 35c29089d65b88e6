#include "platform/SystemLibrary.h"

#include "platform/Paths.h"

namespace orvanta {

SystemLibrary::SystemLibrary(const wchar_t* name)
{
    UniqueModule module = LoadSystemLibrary(name);
    if (!module) {
        const DWORD error = ::GetLastError();
        loadError_ = error != 0 ? error : ERROR_MOD_NOT_FOUND;
    }
    module_ = module.Release();
}

} // namespace orvanta
