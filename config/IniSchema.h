// The INI file's sections, the keys of each and the option letters, with what each letter
// means: what the chainer reads and what orvanta-ini checks and explains. Keys the chainer reads
// without acting on them are listed too, so an author's file that uses them is not reported.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

extern const wchar_t kGeneralSection[];
extern const wchar_t kPrerequisitesSection[];
extern const wchar_t kChainerSection[];

const std::vector<std::wstring>& GeneralKeys();
const std::vector<std::wstring>& PrerequisiteKeys();
// Numbered per search: SearchType1, SearchString1, ...
const std::vector<std::wstring>& SearchKeyStems();
const std::vector<std::wstring>& ChainerKeys();

// Options of [GeneralOptions].
enum class GeneralOption : uint8_t { Silent, BasicInterface };
// Options of a prerequisite.
enum class PrereqOption : uint8_t {
    NotSearched,
    Mandatory,
    NotOnArm64,
    OnlyOnArm64,
    Searches64Bit,
    RebootAfterInstall,
    RebootWhenFound,
};

template <typename Option>
struct OptionLetter {
    Option option;
    wchar_t letter;  // compared exactly: "M" is not "m"
    const char* meaning;
};

const std::vector<OptionLetter<GeneralOption>>& GeneralOptionLetters();
const std::vector<OptionLetter<PrereqOption>>& PrerequisiteOptionLetters();

// The options an Options text names; letters that name no option are left out.
template <typename Option>
class OptionSet {
public:
    bool Has(Option option) const { return (bits_ & Bit(option)) != 0; }
    void Add(Option option) { bits_ |= Bit(option); }

private:
    static uint32_t Bit(Option option) { return 1u << static_cast<unsigned>(option); }
    uint32_t bits_ = 0;
};
using GeneralOptionSet = OptionSet<GeneralOption>;
using PrereqOptionSet = OptionSet<PrereqOption>;

GeneralOptionSet ParseGeneralOptions(const std::wstring& text);
PrereqOptionSet ParsePrereqOptions(const std::wstring& text);

} // namespace orvanta
