/* A DLL that only leaves a trace: once loaded into a process it creates the empty file
 * %ORVANTA_MARKER_DIR%\<its own file name>.marker. Tests copy it beside a program under the
 * names of system DLLs to see whether the program loads any of them from its own folder. */
#include <windows.h>

static void WriteMarker(HINSTANCE instance)
{
    wchar_t folder[MAX_PATH];
    wchar_t module[MAX_PATH];
    wchar_t marker[2 * MAX_PATH + 16];
    const DWORD folderLength = GetEnvironmentVariableW(L"ORVANTA_MARKER_DIR", folder, MAX_PATH);
    const DWORD moduleLength = GetModuleFileNameW(instance, module, MAX_PATH);
    const wchar_t* name = module;
    HANDLE file;
    if (folderLength == 0 || folderLength >= MAX_PATH || moduleLength == 0 || moduleLength >= MAX_PATH)
        return;
    for (DWORD i = 0; i < moduleLength; ++i) {
        if (module[i] == L'\\' || module[i] == L'/')
            name = module + i + 1;
    }
    lstrcpyW(marker, folder);
    lstrcatW(marker, L"\\");
    lstrcatW(marker, name);
    lstrcatW(marker, L".marker");
    file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        WriteMarker(instance);
    return TRUE;
}
