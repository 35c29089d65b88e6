// The chainer's INI file: ordered sections of ordered key/value pairs. No comments, no escapes,
// no case folding; duplicates are kept and the first one wins on lookup. Each section and pair
// remembers its line (lines are separated by CR LF and counted from 1).
#pragma once

#include <string>
#include <vector>

namespace orvanta {

struct IniPair {
    std::wstring key;
    std::wstring value;
    int line = 0;
};

struct IniSection {
    std::wstring name;
    std::vector<IniPair> pairs;
    int line = 0;  // of the header

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
    const std::vector<IniSection>& Sections() const { return sections_; }

private:
    std::vector<IniSection> sections_;
};

// The text of an INI file's bytes as the chainer reads it: the first two bytes (meant to be the
// byte-order mark) are skipped whatever they are, the rest read as UTF-16 LE code units; an
// odd last byte is ignored.
std::wstring IniTextFromBytes(const std::string& bytes);

} // namespace orvanta
