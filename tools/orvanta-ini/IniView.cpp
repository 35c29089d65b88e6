#include "IniView.h"

#include "platform/Strings.h"

#include <algorithm>

namespace orvanta_ini {

IniView::IniView(const std::string& bytes) : bytes_(bytes), text_(orvanta::IniTextFromBytes(bytes))
{
    ini_.Parse(text_);
    config_ = orvanta::ParseConfig(ini_, &end_);

    size_t start = 0;
    for (;;) {
        lineStarts_.push_back(start);
        const size_t end = text_.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines_.push_back(text_.substr(start));
            break;
        }
        lines_.push_back(text_.substr(start, end - start));
        start = end + 2;
    }
    for (size_t i = 0; i < text_.size(); ++i) {
        if (text_[i] == L'\r' && i + 1 < text_.size() && text_[i + 1] == L'\n') {
            displayBreaks_.push_back(i);
            ++i;
        } else if (text_[i] == L'\r' || text_[i] == L'\n') {
            displayBreaks_.push_back(i);
        }
    }

    if (const orvanta::IniSection* list = ini_.FindSection(L"PREREQUISITES")) {
        for (const orvanta::IniPair& pair : list->pairs) {
            int number = 0;
            if (SplitNumberedKey(pair.key, L"App", number) && apps_.count(number) == 0)
                apps_[number] = AppEntry{pair.value, pair.line};
        }
    }
}

int IniView::DisplayLine(int readerLine) const
{
    if (readerLine < 1 || static_cast<size_t>(readerLine) > lineStarts_.size())
        return 1;
    const size_t offset = lineStarts_[static_cast<size_t>(readerLine) - 1];
    const auto before = std::lower_bound(displayBreaks_.begin(), displayBreaks_.end(), offset);
    return 1 + static_cast<int>(before - displayBreaks_.begin());
}

const orvanta::IniPair* IniView::FindPair(const orvanta::IniSection& section, const std::wstring& key)
{
    for (const orvanta::IniPair& pair : section.pairs) {
        if (pair.key == key)
            return &pair;
    }
    return nullptr;
}

bool SplitNumberedKey(const std::wstring& key, const std::wstring& stem, int& number)
{
    if (!orvanta::StartsWith(key, stem) || key.size() == stem.size() || key.size() > stem.size() + 9)
        return false;
    const std::wstring digits = key.substr(stem.size());
    if (digits[0] < L'1' || digits[0] > L'9')
        return false;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            return false;
    }
    size_t position = 0;
    number = static_cast<int>(orvanta::ReadDecimalDigits(digits, position));
    return true;
}

std::wstring DescribeAppsFrom(const std::map<int, AppEntry>& apps, int from)
{
    std::wstring text;
    int listed = 0;
    int more = 0;
    for (auto it = apps.lower_bound(from); it != apps.end(); ++it) {
        if (listed == 4) {
            ++more;
            continue;
        }
        if (listed > 0)
            text += L", ";
        text += L"App" + std::to_wstring(it->first) + L" '" + it->second.name + L"'";
        ++listed;
    }
    if (more > 0)
        text += L" and " + std::to_wstring(more) + L" more";
    return text;
}

} // namespace orvanta_ini
