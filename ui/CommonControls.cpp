#include "ui/CommonControls.h"

#include "platform/Paths.h"
#include "platform/SystemFunction.h"

#include <windows.h>
#include <commctrl.h>


namespace orvanta {
namespace {

// A bare name lets the loader apply the manifest's redirection to the side-by-side version 6;
// the search is still limited to the system folder. Without that flag (an older system) the
// system folder's own copy is taken by its full path.
HMODULE LoadControlsLibrary()
{
    const HMODULE module = ::LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr)
        return module;
    return LoadSystemLibrary(L"comctl32.dll").Release();
}

bool Initialize()
{
    // Kept for the life of the process: the dialogs' controls live in it.
    const HMODULE module = LoadControlsLibrary();
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init = GetModuleFunction<InitFn>(module, "InitCommonControlsEx");
    if (init == nullptr)
        return false;
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return init(&classes) != FALSE;
}

} // namespace

bool LoadCommonControls()
{
    static const bool loaded = Initialize();  // once, whichever thread asks first
    return loaded;
}

} // namespace orvanta
