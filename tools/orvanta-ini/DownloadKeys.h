// The keys of a download that `check` and `plan` both read from the section itself, with their
// lines: the mirrors and the Signer pins.
#pragma once

#include "download/SignerPins.h"

#include "config/IniFile.h"

#include <string>
#include <vector>

namespace orvanta_ini {

// The mirrors the chainer asks after Url, in order: Url2 to Url9 with a value; a missing or
// empty number is skipped.
std::vector<const orvanta::IniPair*> MirrorPairs(const orvanta::IniSection& section);

// The first number from 2 to 9 whose UrlN is missing or empty while a later one is given, and
// the first mirror given after it; `missing` 0 when the mirrors have no gap.
struct MirrorGap {
    int missing = 0;
    const orvanta::IniPair* next = nullptr;
};
MirrorGap FirstMirrorGap(const orvanta::IniSection& section);

// The Signer pair with a value, or null.
const orvanta::IniPair* SignerPair(const orvanta::IniSection& section);

// "http:" in any case: the file travels unencrypted.
bool IsPlainHttp(const std::wstring& url);

} // namespace orvanta_ini
