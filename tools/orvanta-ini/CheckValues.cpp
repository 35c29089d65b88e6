#include "CheckSteps.h"

#include "CheckText.h"
#include "DownloadKeys.h"
#include "SearchTypeNames.h"

#include "config/References.h"
#include "config/VersionValue.h"
#include "detection/Searches.h"
#include "download/DownloadNames.h"
#include "platform/DisplayLanguages.h"
#include "platform/Strings.h"

#include <algorithm>
#include <set>

namespace orvanta_ini {

using orvanta::IniPair;
using orvanta::IniSection;
using orvanta::PrereqInfo;

namespace {

template <typename Option>
void CheckOptionLetters(FindingCollector& findings, const IniPair* pair,
                        const std::vector<OptionLetter<Option>>& letters)
{
    if (pair == nullptr)
        return;
    std::set<wchar_t> reported;
    for (const wchar_t c : pair->value) {
        if (!reported.insert(c).second)
            continue;
        const auto same = [c](const OptionLetter<Option>& option) { return option.letter == c; };
        if (std::find_if(letters.begin(), letters.end(), same) != letters.end())
            continue;
        const auto otherCase = std::find_if(letters.begin(), letters.end(), [c](const OptionLetter<Option>& option) {
            return option.letter != c && LowerAscii(option.letter) == LowerAscii(c);
        });
        if (otherCase != letters.end())
            findings.Add(pair->line, Severity::Warning,
                         "option " + Quoted(std::wstring(1, c)) + " is not " +
                             Quoted(std::wstring(1, otherCase->letter)) + " (" + otherCase->meaning +
                             "): option letters are case-sensitive");
        else
            findings.Add(pair->line, Severity::Warning,
                         "option " + Quoted(std::wstring(1, c)) + " is not one the chainer knows and is ignored");
    }
}

// A number key whose text ParseDecimal reads as something else than it shows.
void CheckDecimal(FindingCollector& findings, const IniPair* pair)
{
    if (pair == nullptr)
        return;
    const int32_t value = orvanta::ParseDecimal(pair->value);
    std::wstring plain = pair->value;
    const size_t first = plain.find_first_not_of(L' ');
    plain = first == std::wstring::npos ? std::wstring() : plain.substr(first);
    if (!plain.empty() && plain[0] == L'+')
        plain.erase(0, 1);
    // Sizes from 2 GiB on wrap to negative numbers and are compared as unsigned again.
    const bool same = plain == std::to_wstring(value) ||
                      plain == std::to_wstring(static_cast<uint32_t>(value)) || (value == 0 && plain == L"-0");
    if (!same)
        findings.Add(pair->line, Severity::Warning,
                     Quoted(pair->key) + " " + Quoted(pair->value) + " is read as the number " + std::to_string(value));
}

// What ParseVersion makes of a version text; false when it is not a usable bound.
bool CheckVersion(FindingCollector& findings, const IniPair* pair, orvanta::VersionValue& version)
{
    if (pair == nullptr || pair->value.empty())
        return false;
    const bool parsed = orvanta::ParseVersion(pair->value, version);
    const size_t runs = CountDigitRuns(pair->value);
    const std::string shown = Quoted(pair->key) + " " + Quoted(pair->value);
    if (runs == 0) {
        findings.Add(pair->line, Severity::Warning,
                     shown + " has no digits: the chainer reads no version, so it is no bound");
        return false;
    }
    if (!parsed) {
        findings.Add(pair->line, Severity::Warning,
                     shown + " has a part above 2147483649: the chainer reads no version, so it is no bound");
        return false;
    }
    if (runs > 4)
        findings.Add(pair->line, Severity::Warning,
                     shown + " has more than four parts: the chainer reads " + ComponentsText(version));
    if (version.IsEmpty()) {
        findings.Add(pair->line, Severity::Warning, shown + " reads as 0.0.0.0, which the chainer takes as no bound");
        return false;
    }
    return true;
}

void CheckVersionRange(FindingCollector& findings, const IniSection& section, const std::wstring& minKey,
                       const std::wstring& maxKey)
{
    const IniPair* minPair = IniView::FindPair(section, minKey);
    const IniPair* maxPair = IniView::FindPair(section, maxKey);
    orvanta::VersionValue min;
    orvanta::VersionValue max;
    const bool hasMin = CheckVersion(findings, minPair, min);
    const bool hasMax = CheckVersion(findings, maxPair, max);
    if (hasMin && hasMax && min.Compare(max) > 0)
        findings.Add(minPair->line, Severity::Error,
                     Quoted(minKey) + " " + Quoted(minPair->value) + " is above " + Quoted(maxKey) + " " +
                         Quoted(maxPair->value) + ": no version can lie in the range");
}

void CheckReferences(FindingCollector& findings, const IniPair* pair, bool isUrl)
{
    if (pair == nullptr)
        return;
    for (const orvanta::ReferencePart& part : orvanta::SplitReferences(pair->value)) {
        if (part.kind == orvanta::ReferencePart::Folder && !orvanta::IsFolderPropertyName(part.text)) {
            findings.Add(pair->line, Severity::Warning,
                         "unknown folder reference [" + Utf8(part.text) + "] in " + Quoted(pair->key) +
                             " stays as written" + Suggestion(Nearest(part.text, orvanta::FolderPropertyNames())));
        } else if (part.kind == orvanta::ReferencePart::Unterminated && part.text[0] != L'[') {
            findings.Add(pair->line, Severity::Warning,
                         "unterminated '" + Utf8(part.text.substr(0, 1)) + "' reference in " + Quoted(pair->key) +
                             ": the rest of the value is taken as written");
        } else if (isUrl && part.kind == orvanta::ReferencePart::Environment && IsHexDigits(part.text, 2)) {
            findings.Add(pair->line, Severity::Warning,
                         "'%" + Utf8(part.text) + "%' in " + Quoted(pair->key) +
                             " is read as an environment variable, not as URL escapes");
        }
    }
}

// Without "q" or "b" the chainer searches but installs nothing.
void CheckRunMode(FindingCollector& findings, const IniSection* section)
{
    const IniView& view = findings.View();
    const orvanta::ChainerConfig& config = view.Config();
    if (config.prerequisites.empty() || orvanta::IsSilent(config) || orvanta::ShowsBasicInterface(config))
        return;
    const IniPair* options = section != nullptr ? IniView::FindPair(*section, L"Options") : nullptr;
    const std::string message =
        "Options of [GeneralOptions] has neither 'q' (silent) nor 'b' (basic interface): the chainer installs "
        "nothing";
    if (options != nullptr)
        findings.Add(options->line, Severity::Error, message);
    else if (section != nullptr)
        findings.Add(section->line, Severity::Error, message);
    else
        findings.AddAt(1, Severity::Error, message);
}

bool SamePathText(std::wstring path, std::wstring other)
{
    std::replace(path.begin(), path.end(), L'/', L'\\');
    std::replace(other.begin(), other.end(), L'/', L'\\');
    return orvanta::EqualsIgnoringAsciiCase(path, other);
}

void CheckDigest(FindingCollector& findings, const IniSection& section, const wchar_t* key, size_t digits)
{
    const IniPair* pair = IniView::FindPair(section, key);
    if (pair == nullptr || pair->value.empty())
        return;
    if (pair->value.size() == digits && IsHexDigits(pair->value, digits))
        return;
    const std::string consequence = IsHexDigits(pair->value, digits)
                                        ? "only the first " + std::to_string(digits) + " are compared"
                                        : "no download can match it";
    findings.Add(pair->line, Severity::Error,
                 Quoted(pair->key) + " is not " + std::to_string(digits) + " hex digits: " + consequence);
}

void CheckSearch(FindingCollector& findings, const IniSection& section, const orvanta::PrereqSearch& search,
                 const std::wstring& number)
{
    const IniPair* type = IniView::FindPair(section, L"SearchType" + number);
    CheckDecimal(findings, type);
    if (type != nullptr && SearchTypeName(search.SearchType) == nullptr)
        findings.Add(type->line, Severity::Error,
                     "SearchType" + Utf8(number) + " " + std::to_string(search.SearchType) +
                         " is not a search type (0 to 14): the chainer counts such a search as found");
    CheckVersionRange(findings, section, L"VerMin" + number, L"VerMax" + number);
    if (SearchStringIsExpanded(search.SearchType))
        CheckReferences(findings, IniView::FindPair(section, L"SearchString" + number), false);
    if (search.SearchType == static_cast<int>(orvanta::SearchType::RunProgram))
        CheckReferences(findings, IniView::FindPair(section, L"SearchCmdLine" + number), false);
}

} // namespace

void CheckGeneralOptions(FindingCollector& findings)
{
    const IniView& view = findings.View();
    const IniSection* section = view.Ini().FindSection(kGeneralSection);
    CheckRunMode(findings, section);
    if (section == nullptr)
        return;
    CheckOptionLetters(findings, IniView::FindPair(*section, L"Options"), GeneralOptionLetters());
    if (const IniPair* keep = IniView::FindPair(*section, L"KeepFiles")) {
        if (keep->value != L"complete" && keep->value != L"minimum" && keep->value != L"prereqs" &&
            !keep->value.empty())
            findings.Add(keep->line, Severity::Warning,
                         "KeepFiles " + Quoted(keep->value) +
                             " is read as keeping nothing (the chainer knows complete, minimum and prereqs)");
    }
    for (const wchar_t* key : {L"PackJars", L"AllPlatforms", L"Is64PlatformTransf"}) {
        const IniPair* flag = IniView::FindPair(*section, key);
        if (flag != nullptr && !flag->value.empty() && !orvanta::EqualsIgnoringAsciiCase(flag->value, L"true") &&
            !orvanta::EqualsIgnoringAsciiCase(flag->value, L"false"))
            findings.Add(flag->line, Severity::Warning,
                         Quoted(flag->key) + " " + Quoted(flag->value) + " is read as false (only 'true' means true)");
    }
    CheckReferences(findings, IniView::FindPair(*section, L"DownloadFolder"), false);
    CheckReferences(findings, IniView::FindPair(*section, L"ExtractionFolder"), false);
    const IniPair* language = IniView::FindPair(*section, L"Language");
    if (language != nullptr && !language->value.empty() && orvanta::LanguageForTag(language->value) == nullptr)
        findings.Add(language->line, Severity::Warning,
                     "Language " + Quoted(language->value) +
                         " is not shipped: the windows follow the user's display language");
    // The chainer turns the overlap on for "1" alone; "true" or "yes" silently leaves it off.
    const IniPair* ahead = IniView::FindPair(*section, L"DownloadAhead");
    if (ahead != nullptr && !ahead->value.empty() && ahead->value != L"0" && ahead->value != L"1")
        findings.Add(ahead->line, Severity::Warning,
                     "DownloadAhead " + Quoted(ahead->value) +
                         " is read as 0: only '1' starts each installer while the next ones download");
    const IniPair* exitCodes = IniView::FindPair(*section, L"ExitCodes");
    if (exitCodes != nullptr && !exitCodes->value.empty() && exitCodes->value != L"msi")
        findings.Add(exitCodes->line, Severity::Warning,
                     "ExitCodes " + Quoted(exitCodes->value) +
                         " changes nothing: only 'msi' ends the run with the codes deployment tools know");
}

void CheckChainerOptions(FindingCollector& findings)
{
    const IniSection* section = findings.View().Ini().FindSection(kChainerSection);
    if (section == nullptr)
        return;
    const IniPair* result = IniView::FindPair(*section, L"ResultFile");
    if (result == nullptr || result->value.empty())
        return;
    CheckReferences(findings, result, false);
    // Compared as written: Windows paths ignore case, and both are expanded alike.
    const IniPair* log = IniView::FindPair(*section, L"LogFile");
    if (log != nullptr && SamePathText(log->value, result->value))
        findings.Add(result->line, Severity::Warning,
                     "ResultFile names the same file as LogFile (" + findings.LineOf(log->line) +
                         "): each would overwrite the other");
}

void CheckPrerequisite(FindingCollector& findings, const PrereqInfo& info)
{
    const IniView& view = findings.View();
    const IniSection* section = view.Ini().FindSection(info.name);
    if (section == nullptr)
        return;
    CheckOptionLetters(findings, IniView::FindPair(*section, L"Options"), PrerequisiteOptionLetters());
    CheckDigest(findings, *section, L"MD5", 32);
    CheckDigest(findings, *section, L"SHA256", 64);
    CheckDecimal(findings, IniView::FindPair(*section, L"ExactSize"));
    CheckDecimal(findings, IniView::FindPair(*section, L"Operator"));
    // The prerequisite's own VerMin and VerMax are read but decide nothing: only the
    // ranges of the searches are checked.

    const wchar_t* sourceKey = info.sourceKind == orvanta::SourceUrl        ? L"Url"
                               : info.sourceKind == orvanta::SourceOpenSite ? L"OpenSite"
                                                                            : L"SetupFile";
    const IniPair* source = IniView::FindPair(*section, sourceKey);
    if (info.sourceKind != orvanta::SourceSetupFile)
        CheckReferences(findings, source, true);
    if (info.sourceKind == orvanta::SourceUrl) {
        for (const IniPair* mirror : MirrorPairs(*section))
            CheckReferences(findings, mirror, true);
    }
    CheckDownload(findings, *section, info);
    if (info.sourceKind == orvanta::SourceUrl && source != nullptr &&
        orvanta::EndsWith(orvanta::TargetPathFor(L"C:\\", info.source, info.Folder), L"\\"))
        findings.Add(source->line, Severity::Error,
                     "the URL gives the download no file name (and Folder names none after a '?'): the download fails");
    CheckReferences(findings, IniView::FindPair(*section, L"CommandLine"), false);

    if (!info.searches.empty() && info.Operator != 0 && info.Operator != 1) {
        const IniPair* op = IniView::FindPair(*section, L"Operator");
        findings.Add(op != nullptr ? op->line : section->line, Severity::Warning,
                     "Operator " + std::to_string(info.Operator) +
                         " is neither 0 (all searches) nor 1 (any search): the searches never hold, so the "
                         "prerequisite is always installed");
    }
    for (size_t index = 0; index < info.searches.size(); ++index)
        CheckSearch(findings, *section, info.searches[index], std::to_wstring(index + 1));
}

} // namespace orvanta_ini
