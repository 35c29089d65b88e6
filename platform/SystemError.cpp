#include "platform/SystemError.h"

#include "platform/Text.h"
#include "platform/UniqueResource.h"

namespace orvanta {
namespace {

std::wstring MessageText(DWORD source, HMODULE module, DWORD code, DWORD language)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | source,
                                          module, code, language, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const UniqueLocal owner(text);
    if (length == 0 || text == nullptr)
        return {};
    return std::wstring(text, length);
}

} // namespace

std::wstring GetSystemErrorText(DWORD code)
{
    const std::wstring text = MessageText(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0x400);
    return text.empty() ? Format(L"%d", static_cast<int>(code)) : text;
}

std::wstring ModuleMessageText(HMODULE module, DWORD code)
{
    return module == nullptr ? std::wstring() : MessageText(FORMAT_MESSAGE_FROM_HMODULE, module, code, 0);
}

} // namespace orvanta
