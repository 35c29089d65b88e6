// The sections, keys and option letters that the chainer reads, for the checks and for `plan`,
// spelt as config/Config.cpp (keys) and the pipeline, search and install code (letters) test them.
#pragma once

#include <string>
#include <vector>

namespace orvanta_ini {

extern const wchar_t kGeneralSection[];
extern const wchar_t kPrerequisitesSection[];
extern const wchar_t kChainerSection[];

const std::vector<std::wstring>& GeneralKeys();
const std::vector<std::wstring>& PrerequisiteKeys();
// Numbered per search: SearchType1, SearchString1, ...
const std::vector<std::wstring>& SearchKeyStems();
const std::vector<std::wstring>& ChainerKeys();

struct OptionLetter {
    wchar_t letter;
    const char* meaning;
};
const std::vector<OptionLetter>& GeneralOptionLetters();
const std::vector<OptionLetter>& PrerequisiteOptionLetters();

// The name of a SearchType value, or null outside the known range.
const char* SearchTypeName(int type);
// True for search types whose SearchString is expanded for references before use.
bool SearchStringIsExpanded(int type);

} // namespace orvanta_ini
