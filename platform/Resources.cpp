#include "platform/Resources.h"

#include <atomic>

namespace orvanta {
namespace {

const unsigned kStringsPerBlock = 16;

std::atomic<const DisplayLanguage*> g_displayLanguage{nullptr};

// A string table is stored in blocks of 16 counted strings; block n holds ids 16(n-1) to 16n-1.
// FindResourceEx is asked for the language itself: LoadString would pick one by the thread's
// language, which is not the one chosen for the run.
std::wstring LoadFromBlock(HMODULE module, UINT id, uint16_t language)
{
    const HRSRC found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / kStringsPerBlock + 1), language);
    if (found == nullptr)
        return {};
    const HGLOBAL loaded = ::LoadResource(module, found);
    const auto* entry = static_cast<const WCHAR*>(::LockResource(loaded));
    if (entry == nullptr)
        return {};
    const WCHAR* const end = entry + ::SizeofResource(module, found) / sizeof(WCHAR);
    for (unsigned index = 0; index < id % kStringsPerBlock; ++index) {
        if (entry >= end)
            return {};
        entry += 1 + *entry;
    }
    if (entry >= end || entry + 1 + *entry > end)
        return {};
    return std::wstring(entry + 1, *entry);
}

} // namespace

std::wstring LoadStringResource(UINT id, TextFor reader)
{
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const DisplayLanguage& english = EnglishLanguage();
    const DisplayLanguage& language = reader == TextFor::Log ? english : CurrentDisplayLanguage();
    std::wstring text = LoadFromBlock(module, id, language.id);
    if (text.empty() && language.id != english.id)
        text = LoadFromBlock(module, id, english.id);
    return text;
}

void UseDisplayLanguage(const DisplayLanguage& language)
{
    g_displayLanguage = &language;
    ::SetProcessDefaultLayout(language.rightToLeft ? LAYOUT_RTL : 0);
}

const DisplayLanguage& CurrentDisplayLanguage()
{
    const DisplayLanguage* language = g_displayLanguage;
    return language != nullptr ? *language : LanguageForUiLanguage(::GetUserDefaultUILanguage());
}

std::wstring FillPlaceholders(const std::wstring& format, const std::wstring& first, const std::wstring& second)
{
    std::wstring result;
    const std::wstring* values[] = {&first, &second};
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's' && next < 2) {
            result += *values[next++];
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

} // namespace orvanta
