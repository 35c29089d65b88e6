// Access to the chainer's own resources.
#pragma once

#include "platform/DisplayLanguages.h"

#include <windows.h>

#include <string>

namespace orvanta {

// Who reads a text: a person sees the display language; the log stays English, as tools parse it.
enum class TextFor { Person, Log };

// The text of a string-table entry of the executable in the reader's language (English when that
// language lacks it); empty when there is none.
std::wstring LoadStringResource(UINT id, TextFor reader = TextFor::Person);

// The language of the texts a person sees from now on. Called once before the first window;
// a right-to-left language mirrors every window created after it. Until then the user's display
// language is used.
void UseDisplayLanguage(const DisplayLanguage& language);
const DisplayLanguage& CurrentDisplayLanguage();

// "%s" placeholders of a resource text filled in order with the given values.
std::wstring FillPlaceholders(const std::wstring& format, const std::wstring& first,
                              const std::wstring& second = std::wstring());

} // namespace orvanta
