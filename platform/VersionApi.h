// Version resources through version.dll, loaded at run time from the system folder (see
// SystemLibrary.h). Same names and contracts as the system functions; when version.dll or a
// function is missing the call fails, with ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND as the
// thread's last error.
#pragma once

#include <windows.h>

namespace orvanta {
namespace version {

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, LPVOID data);
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length);

} // namespace version
} // namespace orvanta
