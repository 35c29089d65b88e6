#include "platform/VersionApi.h"

#include "platform/SystemLibrary.h"

#include <winver.h>

namespace orvanta {
namespace version {
namespace {

struct Functions {
    SystemLibrary library{L"version.dll"};
    decltype(&::GetFileVersionInfoSizeW) getInfoSize = nullptr;
    decltype(&::GetFileVersionInfoW) getInfo = nullptr;
    decltype(&::VerQueryValueW) queryValue = nullptr;

    Functions()
    {
        library.Find("GetFileVersionInfoSizeW", getInfoSize);
        library.Find("GetFileVersionInfoW", getInfo);
        library.Find("VerQueryValueW", queryValue);
    }
};

const Functions& Api()
{
    static const Functions functions;
    return functions;
}

} // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle)
{
    return Api().library.Call(Api().getInfoSize, DWORD{0}, fileName, handle);
}

BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, LPVOID data)
{
    return Api().library.Call(Api().getInfo, BOOL{FALSE}, fileName, handle, length, data);
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length)
{
    return Api().library.Call(Api().queryValue, BOOL{FALSE}, block, subBlock, buffer, length);
}

} // namespace version
} // namespace orvanta
