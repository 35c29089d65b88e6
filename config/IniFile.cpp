#include "config/IniFile.h"

#include "platform/Strings.h"

namespace orvanta {
namespace {

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size() || lines.empty())
        lines.push_back(text.substr(start));
    return lines;
}

// The header name lies between the line's first "[" and its last "]"; blanks are those
// characters with a code of 32 or less.
bool ParseHeader(const std::wstring& line, std::wstring& name)
{
    size_t first = 0;
    while (first < line.size() && line[first] <= L' ')
        ++first;
    size_t last = line.size();
    while (last > first && line[last - 1] <= L' ')
        --last;
    if (first == last || line[first] != L'[' || line[last - 1] != L']' || last - first < 2)
        return false;
    name = line.substr(first + 1, last - 1 - (first + 1));
    return true;
}

} // namespace

bool IniSection::GetValue(const std::wstring& key, std::wstring& value) const
{
    for (const IniPair& pair : pairs) {
        if (pair.key == key) {
            value = pair.value;
            return true;
        }
    }
    return false;
}

void IniFile::Parse(const std::wstring& text)
{
    sections_.clear();
    std::vector<std::wstring> lines = SplitLines(text);
    if (!lines.empty() && !lines.front().empty() && lines.front().front() == 0xFEFF)
        lines.front().erase(0, 1);

    IniSection* current = nullptr;
    int number = 0;
    for (const std::wstring& line : lines) {
        ++number;
        if (line.empty())
            continue;
        std::wstring name;
        if (ParseHeader(line, name)) {
            sections_.push_back(IniSection{name, {}, number});
            current = &sections_.back();
            continue;
        }
        if (current == nullptr)
            continue;
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos)
            continue;
        current->pairs.push_back(IniPair{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), number});
    }
}

const IniSection* IniFile::FindSection(const std::wstring& name) const
{
    for (const IniSection& section : sections_) {
        if (section.name == name)
            return &section;
    }
    return nullptr;
}

bool IniFile::GetValue(const std::wstring& section, const std::wstring& key, std::wstring& value) const
{
    const IniSection* found = FindSection(section);
    return found != nullptr && found->GetValue(key, value);
}

void IniFile::SetValue(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    IniSection* target = nullptr;
    for (IniSection& candidate : sections_) {
        if (candidate.name == section) {
            target = &candidate;
            break;
        }
    }
    if (target == nullptr) {
        sections_.push_back(IniSection{section, {}});
        target = &sections_.back();
    }
    target->pairs.push_back(IniPair{key, value});
}

std::wstring IniTextFromBytes(const std::string& bytes)
{
    if (bytes.size() <= 2)
        return {};
    const size_t units = (bytes.size() - 2) / 2;
    std::wstring text(units, L'\0');
    for (size_t i = 0; i < units; ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 + 2 * i]);
        const auto high = static_cast<unsigned char>(bytes[3 + 2 * i]);
        text[i] = static_cast<wchar_t>(low | (high << 8));
    }
    return text;
}

std::vector<std::wstring> IniFile::GetSectionNames() const
{
    std::vector<std::wstring> names;
    names.reserve(sections_.size());
    for (const IniSection& section : sections_)
        names.push_back(section.name);
    return names;
}

} // namespace orvanta
