#include "platform/DisplayLanguages.h"

namespace orvanta {
namespace {

const uint16_t kPrimaryMask = 0x3FF;
const uint16_t kChinese = 0x04;
const uint16_t kChineseTraditionalNeutral = 0x7C04;  // zh-Hant
// The string tables that the Chinese variants without one of their own fall back to.
const uint16_t kChineseTraditional = 0x0404;  // zh-TW
const uint16_t kChineseSimplified = 0x0804;   // zh-CN

uint16_t Primary(uint16_t langId)
{
    return static_cast<uint16_t>(langId & kPrimaryMask);
}

// Taiwan, Hong Kong and Macao write Traditional Chinese; the rest of the world Simplified.
bool WritesTraditionalChinese(uint16_t langId)
{
    const unsigned sublanguage = langId >> 10;
    return langId == kChineseTraditionalNeutral || sublanguage == 1 || sublanguage == 3 || sublanguage == 5;
}

std::wstring Normalized(const std::wstring& tag)
{
    std::wstring text;
    for (wchar_t c : tag) {
        if (c == L'_')
            c = L'-';
        else if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        text += c;
    }
    return text;
}

std::wstring PrimarySubtag(const std::wstring& tag)
{
    return tag.substr(0, tag.find(L'-'));
}

bool HasSubtag(const std::wstring& tag, const wchar_t* subtag)
{
    const std::wstring wanted = L"-" + std::wstring(subtag);
    for (size_t at = tag.find(wanted); at != std::wstring::npos; at = tag.find(wanted, at + 1)) {
        const size_t end = at + wanted.size();
        if (end == tag.size() || tag[end] == L'-')
            return true;
    }
    return false;
}

const DisplayLanguage* LanguageById(uint16_t langId)
{
    for (const DisplayLanguage& language : ShippedLanguages()) {
        if (language.id == langId)
            return &language;
    }
    return nullptr;
}

const DisplayLanguage* ChineseForTag(const std::wstring& tag)
{
    const bool traditional = HasSubtag(tag, L"hant") || HasSubtag(tag, L"tw") || HasSubtag(tag, L"hk") ||
                             HasSubtag(tag, L"mo");
    return LanguageById(traditional ? kChineseTraditional : kChineseSimplified);
}

} // namespace

const std::vector<DisplayLanguage>& ShippedLanguages()
{
    static const std::vector<DisplayLanguage> languages = {
        {L"en-US", 0x0409, false}, {L"de-DE", 0x0407, false}, {L"fr-FR", 0x040C, false},
        {L"es-ES", 0x0C0A, false}, {L"it-IT", 0x0410, false}, {L"pt-BR", 0x0416, false},
        {L"nl-NL", 0x0413, false}, {L"pl-PL", 0x0415, false}, {L"ru-RU", 0x0419, false},
        {L"tr-TR", 0x041F, false}, {L"ja-JP", 0x0411, false}, {L"ko-KR", 0x0412, false},
        {L"zh-CN", 0x0804, false}, {L"zh-TW", 0x0404, false}, {L"ar-SA", 0x0401, true},
        {L"he-IL", 0x040D, true},
    };
    return languages;
}

const DisplayLanguage& EnglishLanguage()
{
    return ShippedLanguages().front();
}

const DisplayLanguage* LanguageForTag(const std::wstring& tag)
{
    const std::wstring wanted = Normalized(tag);
    const std::wstring primary = PrimarySubtag(wanted);
    if (primary == L"zh")
        return ChineseForTag(wanted);
    const DisplayLanguage* samePrimary = nullptr;
    for (const DisplayLanguage& language : ShippedLanguages()) {
        const std::wstring shipped = Normalized(language.tag);
        if (shipped == wanted)
            return &language;
        if (samePrimary == nullptr && !primary.empty() && PrimarySubtag(shipped) == primary)
            samePrimary = &language;
    }
    return samePrimary;
}

const DisplayLanguage& LanguageForUiLanguage(uint16_t langId)
{
    if (const DisplayLanguage* exact = LanguageById(langId))
        return *exact;
    if (Primary(langId) == kChinese)
        return *LanguageById(WritesTraditionalChinese(langId) ? kChineseTraditional : kChineseSimplified);
    for (const DisplayLanguage& language : ShippedLanguages()) {
        if (Primary(language.id) == Primary(langId))
            return language;
    }
    return EnglishLanguage();
}

} // namespace orvanta
