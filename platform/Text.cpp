#include "platform/Text.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace orvanta {

std::wstring Format(const wchar_t* format, ...)
{
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        const int written = _vsnwprintf(buffer.data(), buffer.size() - 1, format, args);
        va_end(args);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size() - 1)
            return std::wstring(buffer.data(), static_cast<size_t>(written));
        buffer.resize(buffer.size() * 2);
    }
}

std::string WideToMultiByte(const std::wstring& text, uint32_t codePage)
{
    if (text.empty())
        return {};
    const int length = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string result(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &result[0], length, nullptr,
                          nullptr);
    return result;
}

std::wstring MultiByteToWide(const std::string& text, uint32_t codePage)
{
    if (text.empty())
        return {};
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring result(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

std::string WideToAnsi(const std::wstring& text)
{
    return WideToMultiByte(text, CP_ACP);
}

std::wstring AnsiToWide(const std::string& text)
{
    return MultiByteToWide(text, CP_ACP);
}

void WipeSecret(std::wstring& secret)
{
    if (!secret.empty())
        ::SecureZeroMemory(&secret[0], secret.size() * sizeof(wchar_t));
    secret.clear();
}

} // namespace orvanta
