#include "Fmt.h"

#include "Unicode.h"

namespace orvanta_ini {
namespace {

std::wstring Utf16Units(const std::string& bytes, size_t start, bool bigEndian)
{
    std::wstring units;
    units.reserve(bytes.size() / 2);
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<wchar_t>(bigEndian ? (first << 8) | second : first | (second << 8));
    }
    return units;
}

// UTF-16 without byte-order mark shows itself by zero bytes, on the odd offsets for little
// endian; UTF-8 text has none.
bool LooksLikeUtf16(const std::string& bytes, bool& bigEndian)
{
    size_t evenZeros = 0;
    size_t oddZeros = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0')
            ++(i % 2 == 0 ? evenZeros : oddZeros);
    }
    if (bytes.size() % 2 != 0 || evenZeros + oddZeros == 0)
        return false;
    bigEndian = evenZeros > oddZeros;
    return true;
}

bool DecodeText(const std::string& bytes, std::wstring& units, std::string& error)
{
    const auto at = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        units = Utf16Units(bytes, 2, false);
        return true;
    }
    if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
        units = Utf16Units(bytes, 2, true);
        return true;
    }
    size_t start = 0;
    if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF)
        start = 3;
    bool bigEndian = false;
    if (start == 0 && LooksLikeUtf16(bytes, bigEndian)) {
        units = Utf16Units(bytes, 0, bigEndian);
        return true;
    }
    if (!FromUtf8(bytes.substr(start), units)) {
        error = "neither UTF-16 nor valid UTF-8";
        return false;
    }
    return true;
}

} // namespace

bool FormatIni(const std::string& input, std::string& output, std::string& error)
{
    std::wstring units;
    if (!DecodeText(input, units, error))
        return false;
    output.assign("\xFF\xFE", 2);
    output.reserve(2 + units.size() * 2 + 64);
    const auto put = [&output](wchar_t unit) {
        const auto value = static_cast<uint32_t>(unit) & 0xFFFF;
        output += static_cast<char>(value & 0xFF);
        output += static_cast<char>(value >> 8);
    };
    for (size_t i = 0; i < units.size(); ++i) {
        const wchar_t unit = units[i];
        if (unit == L'\r' || unit == L'\n') {
            if (unit == L'\r' && i + 1 < units.size() && units[i + 1] == L'\n')
                ++i;
            put(L'\r');
            put(L'\n');
        } else {
            put(unit);
        }
    }
    return true;
}

} // namespace orvanta_ini
