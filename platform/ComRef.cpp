#include "platform/ComRef.h"

#include "platform/Paths.h"
#include "platform/SystemFunction.h"
#include "platform/UniqueResource.h"

namespace orvanta {
namespace {

using WindowsCreateStringFn = HRESULT(WINAPI*)(LPCWSTR, UINT32, HSTRING*);
using WindowsDeleteStringFn = HRESULT(WINAPI*)(HSTRING);
using WindowsGetStringRawBufferFn = PCWSTR(WINAPI*)(HSTRING, UINT32*);

struct StringFunctions {
    UniqueModule module;
    WindowsCreateStringFn create = nullptr;
    WindowsDeleteStringFn destroy = nullptr;
    WindowsGetStringRawBufferFn rawBuffer = nullptr;
};

const StringFunctions& Functions()
{
    static const StringFunctions functions = [] {
        StringFunctions loaded;
        loaded.module = LoadSystemLibrary(L"combase.dll");
        loaded.create = GetModuleFunction<WindowsCreateStringFn>(loaded.module.Get(), "WindowsCreateString");
        loaded.destroy = GetModuleFunction<WindowsDeleteStringFn>(loaded.module.Get(), "WindowsDeleteString");
        loaded.rawBuffer =
            GetModuleFunction<WindowsGetStringRawBufferFn>(loaded.module.Get(), "WindowsGetStringRawBuffer");
        return loaded;
    }();
    return functions;
}

} // namespace

UniqueHString::~UniqueHString()
{
    if (value_ != nullptr && Functions().destroy != nullptr)
        Functions().destroy(value_);
}

bool UniqueHString::Create(const std::wstring& text)
{
    const StringFunctions& functions = Functions();
    if (functions.create == nullptr)
        return false;
    return SUCCEEDED(functions.create(text.c_str(), static_cast<UINT32>(text.size()), Put()));
}

HSTRING* UniqueHString::Put() noexcept
{
    if (value_ != nullptr && Functions().destroy != nullptr)
        Functions().destroy(value_);
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

} // namespace orvanta
