#include "platform/SystemError.h"

#include "platform/Text.h"
#include "platform/UniqueResource.h"

namespace orvanta {

std::wstring GetSystemErrorText(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                              FORMAT_MESSAGE_FROM_SYSTEM,
                                          nullptr, code, 0x400, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    UniqueLocal owner(text);
    if (length == 0 || text == nullptr)
        return Format(L"%d", static_cast<int>(code));
    return std::wstring(text, length);
}

} // namespace orvanta
