#include "platform/Strings.h"

#include <iterator>

#ifdef _WIN32
#include <cwctype>
#endif

namespace orvanta {
namespace {

wchar_t AsciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool SameIgnoringAsciiCase(const wchar_t* a, const wchar_t* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

} // namespace

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

bool EqualsIgnoringAsciiCase(const std::wstring& text, const std::wstring& other)
{
    return text.size() == other.size() && SameIgnoringAsciiCase(text.data(), other.data(), text.size());
}

bool StartsWithIgnoringAsciiCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() && SameIgnoringAsciiCase(text.data(), prefix.data(), prefix.size());
}

std::wstring WithTrailingBackslash(const std::wstring& path)
{
    if (path.empty() || path.back() == L'\\')
        return path;
    return path + L'\\';
}

bool IsWhiteSpace(wchar_t c)
{
#ifdef _WIN32
    return std::iswspace(c) != 0;
#else
    // The characters the Windows C runtime classifies as space, so that a native build reads
    // INI text as the chainer does.
    if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680)
        return true;
    return (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
#endif
}

bool IsSpaceOrTab(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

std::wstring Trim(const std::wstring& text, bool (*isBlank)(wchar_t))
{
    size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

uint32_t ReadDecimalDigits(const std::wstring& text, size_t& position)
{
    uint32_t value = 0;  // unsigned so that the wrap-around is well defined
    for (; position < text.size() && text[position] >= L'0' && text[position] <= L'9'; ++position)
        value = value * 10u + static_cast<uint32_t>(text[position] - L'0');
    return value;
}

namespace {

// Leading spaces, one optional "-", one optional "+", digits; wraps around in 64 bits.
uint64_t ParseDecimalBits(const std::wstring& text)
{
    size_t position = 0;
    while (position < text.size() && text[position] == L' ')
        ++position;
    bool negative = false;
    if (position < text.size() && text[position] == L'-') {
        negative = true;
        ++position;
    }
    if (position < text.size() && text[position] == L'+')
        ++position;
    uint64_t value = 0;  // unsigned so that the wrap-around is well defined
    for (; position < text.size() && text[position] >= L'0' && text[position] <= L'9'; ++position)
        value = value * 10u + static_cast<uint64_t>(text[position] - L'0');
    return negative ? 0u - value : value;
}

} // namespace

int32_t ParseDecimal(const std::wstring& text)
{
    return static_cast<int32_t>(static_cast<uint32_t>(ParseDecimalBits(text)));
}

int64_t ParseDecimal64(const std::wstring& text)
{
    return static_cast<int64_t>(ParseDecimalBits(text));
}

std::wstring DecimalText(uint64_t value)
{
    wchar_t digits[20];
    size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(std::make_reverse_iterator(digits + count), std::make_reverse_iterator(digits));
}

namespace {

void AppendUtf8(uint32_t code, std::string& out)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::string ToUtf8(const std::wstring& units)
{
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t unit = static_cast<uint32_t>(units[i]) & 0xFFFF;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size()) {
            const uint32_t next = static_cast<uint32_t>(units[i + 1]) & 0xFFFF;
            if (next >= 0xDC00 && next < 0xE000) {
                AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), out);
                ++i;
                continue;
            }
        }
        AppendUtf8(unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit, out);
    }
    return out;
}

} // namespace orvanta
