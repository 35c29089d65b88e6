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

bool Contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string WideToAnsi(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length,
                          nullptr, nullptr);
    return result;
}

std::wstring AnsiToWide(const std::string& text)
{
    if (text.empty())
        return {};
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

std::wstring WithTrailingBackslash(const std::wstring& path)
{
    if (path.empty() || path.back() == L'\\')
        return path;
    return path + L'\\';
}

} // namespace orvanta
