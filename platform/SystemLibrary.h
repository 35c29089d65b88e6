// Function tables for system DLLs that the chainer does not import. Windows looks for an imported
// DLL that is not a KnownDLL in the program's own folder first, before any of the program's code
// runs, and a package folder may be a Downloads folder. Such DLLs are therefore loaded at run time
// from the system folder only, each into one table of functions filled once per process.
#pragma once

#include <windows.h>

namespace orvanta {

class SystemLibrary {
public:
    // Loads `name` from the system folder (LoadSystemLibrary). The library stays loaded to the end
    // of the process: worker threads of a library such as WinINet may still run while it ends.
    explicit SystemLibrary(const wchar_t* name);
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    bool IsLoaded() const { return module_ != nullptr; }
    // The loaded library (null when it is missing), for its resources such as a message table.
    HMODULE Module() const { return module_; }

    // `function` becomes the export `name`, or null when the library or the export is missing.
    template <typename Function>
    void Find(const char* name, Function& function) const
    {
        function = module_ == nullptr
                       ? nullptr
                       : reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    }

    // Calls `function` when it was found. Otherwise the result is `failure` and the thread's last
    // error is MissingError().
    template <typename Function, typename Result, typename... Arguments>
    Result Call(Function function, Result failure, Arguments... arguments) const
    {
        if (function == nullptr) {
            ::SetLastError(MissingError());
            return failure;
        }
        return function(arguments...);
    }

    // Why a function cannot be called: the library's load error (ERROR_MOD_NOT_FOUND when the
    // system gave none), or ERROR_PROC_NOT_FOUND when the library is there without the function.
    DWORD MissingError() const { return module_ != nullptr ? ERROR_PROC_NOT_FOUND : loadError_; }

private:
    HMODULE module_ = nullptr;
    DWORD loadError_ = ERROR_MOD_NOT_FOUND;
};

} // namespace orvanta
