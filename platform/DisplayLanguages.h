// The languages the chainer's windows speak, and which one a person or a package gets. Pure: the
// authors' tool checks the Language key with the same table outside Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

struct DisplayLanguage {
    const wchar_t* tag;  // BCP 47, as a package author writes it in the Language key
    uint16_t id;         // the LANGID of its string table
    bool rightToLeft;
};

// Every language with a string table, English first.
const std::vector<DisplayLanguage>& ShippedLanguages();
const DisplayLanguage& EnglishLanguage();

// The language for a BCP 47 tag ("de", "de-AT", "pt_BR", "zh-Hant"), compared without regard to
// case: the exact language, else one of the same language (Chinese by its script); null when
// none is shipped.
const DisplayLanguage* LanguageForTag(const std::wstring& tag);

// The language for a user's display language: the exact one, else its neutral language, else
// English.
const DisplayLanguage& LanguageForUiLanguage(uint16_t langId);

} // namespace orvanta
