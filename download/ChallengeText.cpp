#include "download/ChallengeText.h"

#include "platform/Strings.h"

#include <vector>

namespace orvanta {
namespace {

// Splits at ',' outside double quotes, so a quoted realm may contain commas.
std::vector<std::wstring> SplitParameters(const std::wstring& text)
{
    std::vector<std::wstring> pieces(1);
    bool quoted = false;
    for (wchar_t c : text) {
        if (c == L'"')
            quoted = !quoted;
        if (c == L',' && !quoted)
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

std::wstring StripQuotes(const std::wstring& value)
{
    const std::wstring trimmed = Trim(value, IsSpaceOrTab);
    if (trimmed.size() >= 2 && trimmed.front() == L'"' && trimmed.back() == L'"')
        return trimmed.substr(1, trimmed.size() - 2);
    return trimmed;
}

} // namespace

std::wstring ParseChallengeRealm(const std::wstring& challenge)
{
    const std::wstring trimmed = Trim(challenge, IsSpaceOrTab);
    const size_t space = trimmed.find(L' ');
    if (space == std::wstring::npos)
        return {};
    for (const std::wstring& parameter : SplitParameters(trimmed.substr(space + 1))) {
        const size_t equals = parameter.find(L'=');
        if (equals == std::wstring::npos)
            continue;
        if (EqualsIgnoringAsciiCase(Trim(parameter.substr(0, equals), IsSpaceOrTab), L"realm"))
            return StripQuotes(parameter.substr(equals + 1));
    }
    return {};
}

std::wstring ProxyHostName(const std::wstring& proxyList)
{
    // Entries are separated by ';' or blanks; a per-scheme list names the HTTP proxy "http=".
    std::vector<std::wstring> entries;
    std::wstring current;
    for (wchar_t c : proxyList + L";") {
        if (c == L';' || c == L' ' || c == L'\t') {
            if (!current.empty())
                entries.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (entries.empty())
        return {};
    std::wstring chosen = entries.front();
    for (const std::wstring& entry : entries) {
        if (entry.find(L'=') == std::wstring::npos || StartsWithIgnoringAsciiCase(entry, L"http=")) {
            chosen = entry;
            break;
        }
    }
    const size_t equals = chosen.find(L'=');
    if (equals != std::wstring::npos)
        chosen = chosen.substr(equals + 1);
    const size_t scheme = chosen.find(L"://");
    if (scheme != std::wstring::npos)
        chosen = chosen.substr(scheme + 3);
    if (!chosen.empty() && chosen[0] == L'[') {
        const size_t close = chosen.find(L']');
        return close == std::wstring::npos ? chosen : chosen.substr(0, close + 1);
    }
    return chosen.substr(0, chosen.find_first_of(L":/"));
}

} // namespace orvanta
