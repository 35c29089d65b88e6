// Turning fuzzer bytes into the chainer's text: UTF-16 LE code units, one per wchar_t.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::wstring FuzzUnits(const uint8_t* data, size_t size)
{
    std::wstring units;
    units.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2)
        units += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return units;
}

// The text split at its first zero unit into several fields (missing ones are empty).
inline std::vector<std::wstring> FuzzFields(const uint8_t* data, size_t size, size_t count)
{
    const std::wstring units = FuzzUnits(data, size);
    std::vector<std::wstring> fields(count);
    size_t start = 0;
    for (size_t i = 0; i < count && start <= units.size(); ++i) {
        const size_t end = i + 1 == count ? units.size() : units.find(L'\0', start);
        fields[i] = units.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return fields;
}

#define FUZZ_ASSERT(condition) \
    do {                       \
        if (!(condition))      \
            __builtin_trap();  \
    } while (0)
