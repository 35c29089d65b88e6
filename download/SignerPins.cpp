#include "download/SignerPins.h"

#include <algorithm>
#include <type_traits>

namespace orvanta {
namespace {

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

template <typename Char>
bool ParseHash(std::basic_string_view<Char> item, KeyHash& hash)
{
    while (!item.empty() && IsBlank(static_cast<wchar_t>(item.front())))
        item.remove_prefix(1);
    while (!item.empty() && IsBlank(static_cast<wchar_t>(item.back())))
        item.remove_suffix(1);
    if (item.size() != hash.size() * 2)
        return false;
    for (size_t index = 0; index < hash.size(); ++index) {
        // Through unsigned: a char above 0x7F must not become a negative wchar_t that looks valid.
        using Unsigned = std::make_unsigned_t<Char>;
        const int high = HexValue(static_cast<wchar_t>(static_cast<Unsigned>(item[2 * index])));
        const int low = HexValue(static_cast<wchar_t>(static_cast<Unsigned>(item[2 * index + 1])));
        if (high < 0 || low < 0)
            return false;
        hash[index] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

template <typename Char>
bool Parse(std::basic_string_view<Char> text, std::vector<KeyHash>& pins)
{
    pins.clear();
    // One item per comma plus one: the loop is bounded by the text's length.
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(static_cast<Char>(','), start), text.size());
        KeyHash hash{};
        if (!ParseHash(text.substr(start, comma - start), hash)) {
            pins.clear();
            return false;
        }
        pins.push_back(hash);
        start = comma + 1;
    }
    return true;
}

} // namespace

bool ParseSignerPins(std::wstring_view text, std::vector<KeyHash>& pins)
{
    return Parse(text, pins);
}

bool ParseSignerPins(std::string_view text, std::vector<KeyHash>& pins)
{
    return Parse(text, pins);
}

bool IsPinned(const KeyHash& key, const std::vector<KeyHash>& pins)
{
    return std::find(pins.begin(), pins.end(), key) != pins.end();
}

KeyHash HashOfKeyInfo(const void* der, size_t size)
{
    Sha256 digest;
    digest.Update(der, size);
    return digest.Finish();
}

} // namespace orvanta
