#include "config/VersionValue.h"

#include "platform/Strings.h"

namespace orvanta {
namespace {

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool AllDigits(const std::wstring& text)
{
    for (wchar_t c : text) {
        if (!IsDigit(c))
            return false;
    }
    return true;
}

// A text of digits only, read as a signed 32-bit decimal number (wrapping like the C library).
int32_t DigitsValue(const std::wstring& text)
{
    size_t position = 0;
    return static_cast<int32_t>(ReadDecimalDigits(text, position));
}

} // namespace

int VersionValue::Compare(const VersionValue& other) const
{
    for (size_t i = 0; i < components.size(); ++i) {
        const auto left = static_cast<int32_t>(components[i]);
        const auto right = static_cast<int32_t>(other.components[i]);
        if (left != right)
            return left < right ? -1 : 1;
    }
    return 0;
}

bool ParseVersion(const std::wstring& text, VersionValue& value)
{
    value = VersionValue();
    size_t position = 0;
    bool anyDigit = false;
    for (size_t component = 0; component < 4; ++component) {
        while (position < text.size() && !IsDigit(text[position]))
            ++position;
        if (position >= text.size())
            break;
        anyDigit = true;
        uint32_t number = 0;
        for (; position < text.size() && IsDigit(text[position]); ++position) {
            if (number > 214748364u) {
                value = VersionValue();
                return false;
            }
            number = number * 10u + static_cast<uint32_t>(text[position] - L'0');
        }
        value.components[component] = number;
    }
    return anyDigit;
}

std::wstring FormatVersion(const VersionValue& value)
{
    int last = -1;
    for (int i = 3; i >= 0; --i) {
        const uint32_t component = value.components[static_cast<size_t>(i)];
        if (component != 0 && component != 65535) {
            last = i;
            break;
        }
    }
    if (last < 0)
        return L"0.0.0.0";
    if (last < 1)
        last = 1;
    std::wstring text;
    for (int i = 0; i <= last; ++i) {
        if (i > 0)
            text += L'.';
        text += DecimalText(value.components[static_cast<size_t>(i)]);
    }
    return text;
}

bool VersionInRange(const std::wstring& verMin, const std::wstring& verMax, const std::vector<std::wstring>& found)
{
    if (found.empty())
        return false;
    VersionValue min;
    VersionValue max;
    ParseVersion(verMin, min);
    ParseVersion(verMax, max);
    if (min.IsEmpty() && max.IsEmpty())
        return true;
    for (const std::wstring& text : found) {
        VersionValue version;
        ParseVersion(text, version);
        if (version.IsEmpty())
            continue;
        if (!min.IsEmpty() && version.Compare(min) < 0)
            continue;
        if (max.IsEmpty() || version.Compare(max) <= 0)
            return true;
    }
    return false;
}

bool ReferenceTest(const std::wstring& refContent, const std::wstring& found)
{
    if (refContent.empty())
        return false;
    const std::wstring reference = refContent.substr(1);
    switch (refContent[0]) {
    case L'C': return Contains(found, reference);
    case L'D': return found != reference;
    case L'E': return EndsWith(found, reference);
    case L'G': return AllDigits(found) && AllDigits(reference) && DigitsValue(found) > DigitsValue(reference);
    case L'L': return AllDigits(found) && AllDigits(reference) && DigitsValue(found) < DigitsValue(reference);
    case L'M': return found == reference;
    case L'S': return StartsWith(found, reference);
    case L'X': return !Contains(found, reference);
    default: return false;
    }
}

} // namespace orvanta
