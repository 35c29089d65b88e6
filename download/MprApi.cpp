#include "download/MprApi.h"

#include "platform/SystemLibrary.h"

namespace orvanta {
namespace mpr {
namespace {

struct Functions {
    SystemLibrary library{L"mpr.dll"};
    decltype(&::WNetAddConnection2W) addConnection = nullptr;

    Functions() { library.Find("WNetAddConnection2W", addConnection); }
};

const Functions& Api()
{
    static const Functions functions;
    return functions;
}

} // namespace

DWORD WNetAddConnection2W(LPNETRESOURCEW resource, LPCWSTR password, LPCWSTR userName, DWORD flags)
{
    const Functions& api = Api();
    return api.addConnection != nullptr ? api.addConnection(resource, password, userName, flags)
                                        : api.library.MissingError();
}

} // namespace mpr
} // namespace orvanta
