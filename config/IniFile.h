// The chainer's INI file: ordered sections of ordered key/value pairs. No comments, no escapes,
// no case folding; duplicates are kept and the first one wins on lookup.
#pragma once

#include <string>
#include <vector>

namespace orvanta {

struct IniPair {
    std::wstring key;
    std::wstring value;
};

struct IniSection {
    std::wstring name;
    std::vector<IniPair> pairs;

    // First pair whose key matches exactly; value left unchanged when there is none.
    bool GetValue(const std::wstring& key, std::wstring& value) const;
};

class IniFile {
public:
    // Replaces the whole content with what `text` holds (lines separated by CR LF).
    void Parse(const std::wstring& text);

    const IniSection* FindSection(const std::wstring& name) const;
    bool GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) const;
    // Appends the pair (never replaces), creating the section when it is missing.
    void SetValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    std::vector<std::wstring> GetSectionNames() const;

private:
    std::vector<IniSection> sections_;
};

} // namespace orvanta
