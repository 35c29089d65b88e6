#include "DownloadKeys.h"

#include "IniView.h"

#include "config/Config.h"
#include "platform/Strings.h"

namespace orvanta_ini {
namespace {

constexpr int kFirstMirror = 2;  // after Url
constexpr int kLastMirror = orvanta::kLastMirrorNumber;

const orvanta::IniPair* ValuePair(const orvanta::IniSection& section, const std::wstring& key)
{
    const orvanta::IniPair* pair = IniView::FindPair(section, key);
    return pair != nullptr && !pair->value.empty() ? pair : nullptr;
}

const orvanta::IniPair* MirrorPair(const orvanta::IniSection& section, int number)
{
    return ValuePair(section, L"Url" + std::to_wstring(number));
}

} // namespace

std::vector<const orvanta::IniPair*> MirrorPairs(const orvanta::IniSection& section)
{
    std::vector<const orvanta::IniPair*> mirrors;
    for (int number = kFirstMirror; number <= kLastMirror; ++number) {
        if (const orvanta::IniPair* pair = MirrorPair(section, number))
            mirrors.push_back(pair);
    }
    return mirrors;
}

MirrorGap FirstMirrorGap(const orvanta::IniSection& section)
{
    int missing = 0;
    for (int number = kFirstMirror; number <= kLastMirror; ++number) {
        const orvanta::IniPair* pair = MirrorPair(section, number);
        if (pair != nullptr && missing != 0)
            return MirrorGap{missing, pair};
        if (pair == nullptr && missing == 0)
            missing = number;
    }
    return MirrorGap{};
}

const orvanta::IniPair* SignerPair(const orvanta::IniSection& section)
{
    return ValuePair(section, L"Signer");
}

bool IsPlainHttp(const std::wstring& url)
{
    return orvanta::StartsWithIgnoringAsciiCase(url, L"http:");
}

} // namespace orvanta_ini
