#include "run/Chainer.h"
#include "platform/Paths.h"
#include "ui/DialogUserInterface.h"

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
        // A silent run shows none of it: the run passes the interface on only when it is shown.
        orvanta::DialogUserInterface dialogs;
        orvanta::InstallDialogPrompts();
        orvanta::Chainer chainer(orvanta::CreatePrerequisiteRun(), &dialogs);
        chainer.Run();
        exitCode = chainer.ExitCode();
    }
    if (comInitialized)
        ::CoUninitialize();
    return exitCode;
}
