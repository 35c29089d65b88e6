#include "CheckText.h"

#include "Unicode.h"

#include <algorithm>

namespace orvanta_ini {
namespace {

std::wstring LowerAsciiText(const std::wstring& text)
{
    std::wstring lower = text;
    for (wchar_t& c : lower)
        c = LowerAscii(c);
    return lower;
}

size_t EditDistance(const std::wstring& a, const std::wstring& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

wchar_t LowerAscii(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

std::string Quoted(const std::wstring& text)
{
    return "'" + ToUtf8(text) + "'";
}

std::string Utf8(const std::wstring& text)
{
    return ToUtf8(text);
}

std::wstring Nearest(const std::wstring& name, const std::vector<std::wstring>& candidates)
{
    if (name.size() > 64)
        return {};  // no name the chainer knows is that long
    const std::wstring lower = LowerAsciiText(name);
    std::wstring best;
    size_t bestDistance = name.size() < 5 ? 1 : 2;
    for (const std::wstring& candidate : candidates) {
        const size_t longer = std::max(name.size(), candidate.size());
        if (candidate == name || longer - std::min(name.size(), candidate.size()) > bestDistance)
            continue;
        const size_t distance = EditDistance(lower, LowerAsciiText(candidate));
        if (distance == 0)
            return candidate;
        if (distance <= bestDistance && (best.empty() || distance < bestDistance)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::string Suggestion(const std::wstring& nearest)
{
    return nearest.empty() ? std::string() : " (did you mean " + Quoted(nearest) + "?)";
}

std::wstring TrailingDigits(const std::wstring& key)
{
    size_t start = key.size();
    while (start > 0 && key[start - 1] >= L'0' && key[start - 1] <= L'9')
        --start;
    return key.substr(start);
}

bool IsHexDigits(const std::wstring& text, size_t count)
{
    if (text.size() < count)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const wchar_t c = text[i];
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F')))
            return false;
    }
    return true;
}

size_t CountDigitRuns(const std::wstring& text)
{
    size_t runs = 0;
    bool inRun = false;
    for (const wchar_t c : text) {
        const bool digit = c >= L'0' && c <= L'9';
        if (digit && !inRun)
            ++runs;
        inRun = digit;
    }
    return runs;
}

std::string ComponentsText(const orvanta::VersionValue& version)
{
    std::string text;
    for (size_t i = 0; i < version.components.size(); ++i)
        text += (i == 0 ? "" : ".") + std::to_string(version.components[i]);
    return text;
}

} // namespace orvanta_ini
