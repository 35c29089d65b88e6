#include "run/Chainer.h"
#include "platform/Paths.h"

#include <windows.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Before anything can load a library: a chainer started from a Downloads folder must not
    // pick up a DLL planted beside it.
    orvanta::RestrictDllSearchToSystemFolder();

    const bool comInitialized = ::CoInitialize(nullptr) == S_OK;
    int exitCode = 0;
    {
        orvanta::Chainer chainer;
        chainer.Run();
        exitCode = chainer.ExitCode();
    }
    if (comInitialized)
        ::CoUninitialize();
    return exitCode;
}
