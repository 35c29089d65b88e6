#include "CheckSteps.h"

#include "CheckText.h"

#include "platform/Strings.h"

#include <map>
#include <set>

namespace orvanta_ini {

using orvanta::IniPair;
using orvanta::IniSection;

bool CheckEncoding(FindingCollector& findings)
{
    const IniView& view = findings.View();
    const std::string& bytes = view.Bytes();
    const auto at = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE)
        return true;
    std::string found;
    if (bytes.empty())
        found = "an empty file";
    else if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF)
        found = "UTF-8 with byte-order mark";
    else if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF)
        found = "UTF-16 big-endian";
    else if (bytes.size() >= 2 && at(1) == 0 && at(0) != 0)
        found = "UTF-16 LE without byte-order mark";
    else
        found = "UTF-8 or ANSI text";
    const size_t sections = view.Ini().GetSectionNames().size();
    findings.AddAt(1, Severity::Error,
                   "the file is " + found +
                       ", not UTF-16 LE with byte-order mark: the chainer drops the first two bytes and reads the "
                       "rest as UTF-16 LE, which gives " +
                       std::to_string(sections) + " section(s) and " +
                       std::to_string(view.Config().prerequisites.size()) +
                       " prerequisite(s); convert it with 'orvanta-ini fmt'");
    return false;
}

bool CheckLineEnds(FindingCollector& findings)
{
    const IniView& view = findings.View();
    const std::wstring& text = view.Text();
    const bool crlf = text.find(L"\r\n") != std::wstring::npos;
    size_t lone = std::wstring::npos;
    for (size_t i = 0; i < text.size() && lone == std::wstring::npos; ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            ++i;
        else if (text[i] == L'\n')
            lone = i;
        // A CR right before CR LF ends up as white space at the end of the reader's line.
        else if (text[i] == L'\r' && !(i + 2 < text.size() && text[i + 1] == L'\r' && text[i + 2] == L'\n'))
            lone = i;
    }
    if (lone == std::wstring::npos)
        return true;
    const char* kind = text[lone] == L'\n' ? "LF-only" : "CR-only";
    if (!crlf) {
        findings.AddAt(1, Severity::Error,
                       std::string(kind) +
                           " line ends: the chainer splits lines at CR LF only and reads the whole file as one line; "
                           "convert it with 'orvanta-ini fmt'");
        return false;
    }
    int line = 1;
    for (size_t i = 0; i < lone; ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            ++i;
        if (text[i] == L'\r' || text[i] == L'\n')
            ++line;
    }
    findings.AddAt(line, Severity::Error,
                   std::string(kind) +
                       " line end: the chainer splits lines at CR LF only and joins this line with the next");
    return true;
}

void CheckIgnoredLines(FindingCollector& findings)
{
    const IniView& view = findings.View();
    std::set<int> used;
    for (const IniSection& section : view.Ini().Sections()) {
        used.insert(section.line);
        for (const IniPair& pair : section.pairs)
            used.insert(pair.line);
    }
    const std::vector<std::wstring>& lines = view.ReaderLines();
    for (size_t index = 0; index < lines.size(); ++index) {
        const int line = static_cast<int>(index) + 1;
        if (used.count(line) != 0)
            continue;
        std::wstring trimmed = orvanta::Trim(lines[index]);
        if (index == 0 && !trimmed.empty() && trimmed[0] == 0xFEFF)
            trimmed = orvanta::Trim(trimmed.substr(1));
        if (trimmed.empty() || trimmed[0] == L';' || trimmed[0] == L'#')
            continue;
        if (trimmed.find(L'=') != std::wstring::npos)
            findings.Add(line, Severity::Warning, "key outside any section is ignored");
        else if (trimmed[0] == L'[')
            findings.Add(line, Severity::Warning,
                         "not a section header (nothing may follow the closing ']'): the line is ignored");
        else
            findings.Add(line, Severity::Warning,
                         "neither a [section] header nor a key=value pair: the line is ignored");
    }
}

void CheckDuplicates(FindingCollector& findings)
{
    const IniView& view = findings.View();
    std::map<std::wstring, int> sections;
    for (const IniSection& section : view.Ini().Sections()) {
        const auto first = sections.emplace(section.name, section.line);
        if (!first.second) {
            findings.Add(section.line, Severity::Warning,
                         "section [" + Utf8(section.name) + "] appears again (first at " +
                             findings.LineOf(first.first->second) + "): the chainer reads only the first");
            continue;
        }
        std::map<std::wstring, int> keys;
        for (const IniPair& pair : section.pairs) {
            const auto key = keys.emplace(pair.key, pair.line);
            if (!key.second)
                findings.Add(pair.line, Severity::Warning,
                             "duplicate key " + Quoted(pair.key) + ": the first, at " +
                                 findings.LineOf(key.first->second) + ", wins");
        }
    }
}

} // namespace orvanta_ini
