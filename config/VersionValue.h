// Version values: four 32-bit components read from the digit runs of a text, their text form,
// the range test against VerMin/VerMax and the RefContent reference operators.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

struct VersionValue {
    std::array<uint32_t, 4> components{};  // major, minor, build, revision

    bool IsEmpty() const { return components == std::array<uint32_t, 4>{}; }
    // Component by component from major, each compared as a signed 32-bit number.
    int Compare(const VersionValue& other) const;
};

// False (and the empty version) for a text without digits or with a component too large.
bool ParseVersion(const std::wstring& text, VersionValue& value);
std::wstring FormatVersion(const VersionValue& value);

// True when one of the found versions lies within [verMin, verMax] (empty bounds: no bound).
bool VersionInRange(const std::wstring& verMin, const std::wstring& verMax, const std::vector<std::wstring>& found);

// RefContent is an operator letter followed by the reference text.
bool ReferenceTest(const std::wstring& refContent, const std::wstring& found);

} // namespace orvanta
