#include "platform/UniqueHString.h"

#include "platform/Paths.h"
#include "platform/SystemFunction.h"

namespace orvanta {
namespace {

using WindowsCreateStringFn = HRESULT(WINAPI*)(LPCWSTR, UINT32, HSTRING*);
using WindowsDeleteStringFn = HRESULT(WINAPI*)(HSTRING);
using WindowsGetStringRawBufferFn = PCWSTR(WINAPI*)(HSTRING, UINT32*);

struct StringFunctions {
    UniqueModule module;
    WindowsCreateStringFn createString = nullptr;
    WindowsDeleteStringFn deleteString = nullptr;
    WindowsGetStringRawBufferFn rawBuffer = nullptr;
};

const StringFunctions& Functions()
{
    static const StringFunctions functions = [] {
        StringFunctions loaded;
        loaded.module = LoadSystemLibrary(L"combase.dll");
        if (loaded.module) {
            const HMODULE module = loaded.module.Get();
            loaded.createString = GetModuleFunction<WindowsCreateStringFn>(module, "WindowsCreateString");
            loaded.deleteString = GetModuleFunction<WindowsDeleteStringFn>(module, "WindowsDeleteString");
            loaded.rawBuffer = GetModuleFunction<WindowsGetStringRawBufferFn>(module, "WindowsGetStringRawBuffer");
        }
        return loaded;
    }();
    return functions;
}

} // namespace

UniqueHString::~UniqueHString()
{
    if (value_ != nullptr && Functions().deleteString != nullptr)
        Functions().deleteString(value_);
}

bool UniqueHString::Create(const std::wstring& text)
{
    const StringFunctions& functions = Functions();
    if (functions.createString == nullptr)
        return false;
    return SUCCEEDED(functions.createString(text.c_str(), static_cast<UINT32>(text.size()), Put()));
}

HSTRING* UniqueHString::Put() noexcept
{
    if (value_ != nullptr && Functions().deleteString != nullptr)
        Functions().deleteString(value_);
    value_ = nullptr;
    return &value_;
}

std::wstring UniqueHString::Text() const
{
    if (value_ == nullptr || Functions().rawBuffer == nullptr)
        return {};
    UINT32 length = 0;
    const PCWSTR buffer = Functions().rawBuffer(value_, &length);
    return buffer == nullptr ? std::wstring() : std::wstring(buffer, length);
}

bool WinRtStringsAvailable()
{
    const StringFunctions& functions = Functions();
    return functions.createString != nullptr && functions.deleteString != nullptr && functions.rawBuffer != nullptr;
}

} // namespace orvanta
