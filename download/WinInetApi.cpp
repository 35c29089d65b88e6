#include "download/WinInetApi.h"

#include "platform/SystemError.h"
#include "platform/SystemLibrary.h"

namespace orvanta {
namespace wininet {
namespace {

struct Functions {
    SystemLibrary library{L"wininet.dll"};
    decltype(&::InternetOpenW) open = nullptr;
    decltype(&::InternetConnectW) connect = nullptr;
    decltype(&::InternetCloseHandle) closeHandle = nullptr;
    decltype(&::InternetSetStatusCallbackW) setStatusCallback = nullptr;
    decltype(&::InternetReadFile) readFile = nullptr;
    decltype(&::InternetQueryDataAvailable) queryDataAvailable = nullptr;
    decltype(&::InternetSetOptionW) setOption = nullptr;
    decltype(&::InternetQueryOptionW) queryOption = nullptr;
    decltype(&::InternetGetLastResponseInfoW) getLastResponseInfo = nullptr;
    decltype(&::InternetCrackUrlW) crackUrl = nullptr;
    decltype(&::HttpOpenRequestW) httpOpenRequest = nullptr;
    decltype(&::HttpSendRequestW) httpSendRequest = nullptr;
    decltype(&::HttpQueryInfoW) httpQueryInfo = nullptr;
    decltype(&::FtpCommandW) ftpCommand = nullptr;
    decltype(&::FtpOpenFileW) ftpOpenFile = nullptr;
    decltype(&::FtpGetFileSize) ftpGetFileSize = nullptr;

    Functions()
    {
        library.Find("InternetOpenW", open);
        library.Find("InternetConnectW", connect);
        library.Find("InternetCloseHandle", closeHandle);
        library.Find("InternetSetStatusCallbackW", setStatusCallback);
        library.Find("InternetReadFile", readFile);
        library.Find("InternetQueryDataAvailable", queryDataAvailable);
        library.Find("InternetSetOptionW", setOption);
        library.Find("InternetQueryOptionW", queryOption);
        library.Find("InternetGetLastResponseInfoW", getLastResponseInfo);
        library.Find("InternetCrackUrlW", crackUrl);
        library.Find("HttpOpenRequestW", httpOpenRequest);
        library.Find("HttpSendRequestW", httpSendRequest);
        library.Find("HttpQueryInfoW", httpQueryInfo);
        library.Find("FtpCommandW", ftpCommand);
        library.Find("FtpOpenFileW", ftpOpenFile);
        library.Find("FtpGetFileSize", ftpGetFileSize);
    }
};

const Functions& Api()
{
    static const Functions functions;
    return functions;
}

const HINTERNET kNoHandle = nullptr;

} // namespace

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags)
{
    return Api().library.Call(Api().open, kNoHandle, agent, accessType, proxy, proxyBypass, flags);
}

HINTERNET InternetConnectW(HINTERNET session, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context)
{
    return Api().library.Call(Api().connect, kNoHandle, session, serverName, port, userName, password, service,
                              flags, context);
}

BOOL InternetCloseHandle(HINTERNET handle)
{
    return Api().library.Call(Api().closeHandle, BOOL{FALSE}, handle);
}

INTERNET_STATUS_CALLBACK InternetSetStatusCallbackW(HINTERNET handle, INTERNET_STATUS_CALLBACK callback)
{
    return Api().library.Call(Api().setStatusCallback, INTERNET_INVALID_STATUS_CALLBACK, handle, callback);
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead)
{
    return Api().library.Call(Api().readFile, BOOL{FALSE}, file, buffer, bytesToRead, bytesRead);
}

BOOL InternetQueryDataAvailable(HINTERNET file, LPDWORD bytesAvailable, DWORD flags, DWORD_PTR context)
{
    return Api().library.Call(Api().queryDataAvailable, BOOL{FALSE}, file, bytesAvailable, flags, context);
}

BOOL InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length)
{
    return Api().library.Call(Api().setOption, BOOL{FALSE}, handle, option, buffer, length);
}

BOOL InternetQueryOptionW(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length)
{
    return Api().library.Call(Api().queryOption, BOOL{FALSE}, handle, option, buffer, length);
}

BOOL InternetGetLastResponseInfoW(LPDWORD error, LPWSTR buffer, LPDWORD length)
{
    return Api().library.Call(Api().getLastResponseInfo, BOOL{FALSE}, error, buffer, length);
}

BOOL InternetCrackUrlW(LPCWSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTSW components)
{
    return Api().library.Call(Api().crackUrl, BOOL{FALSE}, url, urlLength, flags, components);
}

HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context)
{
    return Api().library.Call(Api().httpOpenRequest, kNoHandle, connection, verb, objectName, version, referrer,
                              acceptTypes, flags, context);
}

BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength)
{
    return Api().library.Call(Api().httpSendRequest, BOOL{FALSE}, request, headers, headersLength, optional,
                              optionalLength);
}

BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD length, LPDWORD index)
{
    return Api().library.Call(Api().httpQueryInfo, BOOL{FALSE}, request, infoLevel, buffer, length, index);
}

BOOL FtpCommandW(HINTERNET connection, BOOL expectResponse, DWORD flags, LPCWSTR command, DWORD_PTR context,
                 HINTERNET* commandHandle)
{
    return Api().library.Call(Api().ftpCommand, BOOL{FALSE}, connection, expectResponse, flags, command, context,
                              commandHandle);
}

HINTERNET FtpOpenFileW(HINTERNET connection, LPCWSTR fileName, DWORD access, DWORD flags, DWORD_PTR context)
{
    return Api().library.Call(Api().ftpOpenFile, kNoHandle, connection, fileName, access, flags, context);
}

DWORD FtpGetFileSize(HINTERNET file, LPDWORD sizeHigh)
{
    return Api().library.Call(Api().ftpGetFileSize, DWORD{INVALID_FILE_SIZE}, file, sizeHigh);
}

std::wstring MessageText(DWORD code)
{
    return ModuleMessageText(Api().library.Module(), code);
}

} // namespace wininet
} // namespace orvanta
