#include "platform/Resources.h"

namespace orvanta {

std::wstring LoadStringResource(UINT id)
{
    // With a zero length LoadStringW hands out a read-only pointer to the resource itself.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr)
        return {};
    return std::wstring(text, static_cast<size_t>(length));
}

std::wstring FillPlaceholders(const std::wstring& format, const std::wstring& first, const std::wstring& second)
{
    std::wstring result;
    const std::wstring* values[] = {&first, &second};
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's' && next < 2) {
            result += *values[next++];
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

} // namespace orvanta
