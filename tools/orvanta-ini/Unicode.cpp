#include "Unicode.h"

#include <cstdint>

namespace orvanta_ini {
namespace {

void AppendUnits(uint32_t code, std::wstring& units)
{
    if (code < 0x10000) {
        units += static_cast<wchar_t>(code);
        return;
    }
    code -= 0x10000;
    units += static_cast<wchar_t>(0xD800 + (code >> 10));
    units += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
}

} // namespace

bool FromUtf8(const std::string& bytes, std::wstring& units)
{
    units.clear();
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        size_t length = 0;
        uint32_t code = 0;
        uint32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (i + length > bytes.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return false;
        AppendUnits(code, units);
        i += length;
    }
    return true;
}

} // namespace orvanta_ini
