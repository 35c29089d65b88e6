// WinINet through a function table loaded at run time from the system folder (see
// platform/SystemLibrary.h): the chainer does not import it. Same names and contracts as the
// system functions; when WinINet or a function is missing the call fails, with
// ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND as the thread's last error.
#pragma once

#include "platform/UniqueResource.h"

#include <windows.h>
#include <wininet.h>

#include <string>

namespace orvanta {
namespace wininet {

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);
HINTERNET InternetConnectW(HINTERNET session, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context);
BOOL InternetCloseHandle(HINTERNET handle);
// INTERNET_INVALID_STATUS_CALLBACK when WinINet is missing.
INTERNET_STATUS_CALLBACK InternetSetStatusCallbackW(HINTERNET handle, INTERNET_STATUS_CALLBACK callback);
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead);
BOOL InternetQueryDataAvailable(HINTERNET file, LPDWORD bytesAvailable, DWORD flags, DWORD_PTR context);
BOOL InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
BOOL InternetQueryOptionW(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length);
BOOL InternetGetLastResponseInfoW(LPDWORD error, LPWSTR buffer, LPDWORD length);
BOOL InternetCrackUrlW(LPCWSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTSW components);
HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context);
BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength);
BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD length, LPDWORD index);
BOOL FtpCommandW(HINTERNET connection, BOOL expectResponse, DWORD flags, LPCWSTR command, DWORD_PTR context,
                 HINTERNET* commandHandle);
HINTERNET FtpOpenFileW(HINTERNET connection, LPCWSTR fileName, DWORD access, DWORD flags, DWORD_PTR context);
// INVALID_FILE_SIZE when WinINet is missing.
DWORD FtpGetFileSize(HINTERNET file, LPDWORD sizeHigh);

// WinINet's own text for one of its error codes (12001-12999), as its message table gives it
// (trailing line break included); empty when WinINet is missing or has no text for the code.
std::wstring MessageText(DWORD code);

} // namespace wininet

// WinINet handles of the session; connections and requests need the engine's closing wait.
struct InternetHandleTraits {
    static HINTERNET Invalid() noexcept { return nullptr; }
    static void Close(HINTERNET h) noexcept { wininet::InternetCloseHandle(h); }
};
using UniqueInternet = UniqueResource<HINTERNET, InternetHandleTraits>;

} // namespace orvanta
