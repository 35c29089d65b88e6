#include "CheckSteps.h"

#include "CheckText.h"

#include <algorithm>
#include <map>
#include <set>

namespace orvanta_ini {

using orvanta::IniPair;
using orvanta::IniSection;
using orvanta::PrereqInfo;
using orvanta::PrereqReadFailure;

namespace {

std::vector<std::wstring> KnownSectionNames(const IniView& view)
{
    std::vector<std::wstring> names = {kGeneralSection, kPrerequisitesSection, kChainerSection};
    for (const auto& app : view.AppEntries())
        names.push_back(app.second.name);
    return names;
}

// The prerequisite sections the chainer reads, with the number of searches it reads in
// each (the failing search of a list end included).
std::map<std::wstring, size_t> ReadPrerequisiteSections(const IniView& view)
{
    std::map<std::wstring, size_t> read;
    for (const PrereqInfo& info : view.Config().prerequisites)
        read.emplace(info.name, info.searches.size());
    const orvanta::PrereqListEnd& end = view.ListEnd();
    const auto entry = view.AppEntries().find(end.number);
    if (entry != view.AppEntries().end() && (end.failure == PrereqReadFailure::NoSource ||
                                             end.failure == PrereqReadFailure::SearchWithoutString)) {
        orvanta::PrereqInfo partial;
        orvanta::ReadPrerequisite(view.Ini(), end.number, partial);
        read.emplace(entry->second.name, partial.searches.size() + 1);
    }
    return read;
}

void UnknownKey(FindingCollector& findings, const IniPair& pair, const std::vector<std::wstring>& known)
{
    findings.Add(pair.line, Severity::Warning,
                 "unknown key " + Quoted(pair.key) + " is ignored" + Suggestion(Nearest(pair.key, known)));
}

void CheckKeys(FindingCollector& findings, const IniSection& section, const std::vector<std::wstring>& known)
{
    for (const IniPair& pair : section.pairs) {
        if (std::find(known.begin(), known.end(), pair.key) == known.end())
            UnknownKey(findings, pair, known);
    }
}

void CheckAppKeys(FindingCollector& findings, const IniSection& section)
{
    for (const IniPair& pair : section.pairs) {
        int number = 0;
        if (SplitNumberedKey(pair.key, L"App", number))
            continue;
        std::wstring digits = TrailingDigits(pair.key);
        const size_t nonZero = digits.find_first_not_of(L'0');
        digits = nonZero == std::wstring::npos ? L"1" : digits.substr(nonZero);
        UnknownKey(findings, pair, {L"App" + digits});
    }
}

// True when the key is a numbered search key (reported here when it is not read).
bool CheckSearchKey(FindingCollector& findings, const IniSection& section, const IniPair& pair, size_t searchesRead)
{
    for (const std::wstring& stem : SearchKeyStems()) {
        int number = 0;
        if (!SplitNumberedKey(pair.key, stem, number))
            continue;
        if (static_cast<size_t>(number) <= searchesRead)
            return true;
        const std::wstring type = L"SearchType" + std::to_wstring(number);
        if (stem == L"SearchType") {
            findings.Add(pair.line, Severity::Warning,
                         "search keys numbered with a gap: SearchType" + std::to_string(searchesRead + 1) +
                             " is missing, so " + Utf8(type) + " and its keys are not read");
        } else if (IniView::FindPair(section, type) == nullptr) {
            findings.Add(pair.line, Severity::Warning, Quoted(pair.key) + " is not read: there is no " + Utf8(type));
        }
        return true;
    }
    return false;
}

void CheckPrerequisiteKeys(FindingCollector& findings, const IniSection& section, size_t searchesRead)
{
    const std::vector<std::wstring>& known = PrerequisiteKeys();
    const wchar_t* sources[] = {L"SetupFile", L"OpenSite", L"Url"};
    const wchar_t* source = nullptr;
    for (const wchar_t* candidate : sources) {
        if (source == nullptr && IniView::FindPair(section, candidate) != nullptr)
            source = candidate;
    }
    for (const IniPair& pair : section.pairs) {
        if (std::find(known.begin(), known.end(), pair.key) != known.end()) {
            for (const wchar_t* candidate : sources) {
                if (pair.key == candidate && source != nullptr && pair.key != source)
                    findings.Add(pair.line, Severity::Warning,
                                 Quoted(pair.key) + " is ignored: " + Quoted(source) +
                                     " comes first (the first of SetupFile, OpenSite and Url is the source)");
            }
            continue;
        }
        if (CheckSearchKey(findings, section, pair, searchesRead))
            continue;
        std::vector<std::wstring> candidates = known;
        const std::wstring digits = TrailingDigits(pair.key);
        for (const std::wstring& stem : SearchKeyStems())
            candidates.push_back(stem + (digits.empty() ? L"1" : digits));
        UnknownKey(findings, pair, candidates);
    }
}

} // namespace

void CheckPrerequisiteList(FindingCollector& findings)
{
    const IniView& view = findings.View();
    const orvanta::IniFile& ini = view.Ini();
    const auto& apps = view.AppEntries();
    const orvanta::PrereqListEnd& end = view.ListEnd();
    const IniSection* list = ini.FindSection(kPrerequisitesSection);
    if (list == nullptr) {
        findings.AddAt(1, Severity::Warning,
                       "no [PREREQUISITES] section: the chainer installs nothing" +
                           Suggestion(Nearest(kPrerequisitesSection, ini.GetSectionNames())));
        return;
    }
    const std::wstring number = std::to_wstring(end.number);
    const std::wstring later = DescribeAppsFrom(apps, end.number + 1);
    const std::string lost = later.empty() ? std::string() : ", without " + Utf8(later);
    const auto entry = apps.find(end.number);
    switch (end.failure) {
    case PrereqReadFailure::NoEntry:
        if (!later.empty())
            findings.Add(apps.upper_bound(end.number)->second.line, Severity::Warning,
                         "gap in the App numbering: App" + Utf8(number) +
                             " is missing and the list of prerequisites ends there, without " + Utf8(later));
        return;
    case PrereqReadFailure::NoSection:
        if (entry != apps.end())
            findings.Add(entry->second.line, Severity::Error,
                         "App" + Utf8(number) + " names section [" + Utf8(entry->second.name) +
                             "], which does not exist" +
                             Suggestion(Nearest(entry->second.name, ini.GetSectionNames())) +
                             ": the list of prerequisites ends here" + lost);
        return;
    case PrereqReadFailure::NoSource:
        if (entry != apps.end()) {
            const IniSection* section = ini.FindSection(entry->second.name);
            findings.Add(section != nullptr ? section->line : entry->second.line, Severity::Error,
                         "[" + Utf8(entry->second.name) +
                             "] has none of SetupFile, OpenSite and Url: the list of prerequisites ends here, at App" +
                             Utf8(number) + lost);
        }
        return;
    case PrereqReadFailure::SearchWithoutString:
        if (entry != apps.end()) {
            const IniSection* section = ini.FindSection(entry->second.name);
            int searches = 0;
            while (section != nullptr &&
                   IniView::FindPair(*section, L"SearchString" + std::to_wstring(searches + 1)) != nullptr)
                ++searches;
            const std::wstring key = L"SearchType" + std::to_wstring(searches + 1);
            const IniPair* pair = section != nullptr ? IniView::FindPair(*section, key) : nullptr;
            findings.Add(pair != nullptr ? pair->line : entry->second.line, Severity::Error,
                         Utf8(key) + " has no SearchString" + std::to_string(searches + 1) + ": App" +
                             Utf8(number) + " '" + Utf8(entry->second.name) +
                             "' is not read and the list of prerequisites ends here" + lost);
        }
        return;
    }
}

void CheckSections(FindingCollector& findings)
{
    const IniView& view = findings.View();
    const std::map<std::wstring, size_t> prerequisites = ReadPrerequisiteSections(view);
    std::set<std::wstring> named;
    for (const auto& app : view.AppEntries())
        named.insert(app.second.name);
    std::set<std::wstring> seen;
    for (const IniSection& section : view.Ini().Sections()) {
        if (!seen.insert(section.name).second)
            continue;  // reported as a duplicate
        if (section.name == kGeneralSection) {
            CheckKeys(findings, section, GeneralKeys());
        } else if (section.name == kPrerequisitesSection) {
            CheckAppKeys(findings, section);
        } else if (section.name == kChainerSection) {
            CheckKeys(findings, section, ChainerKeys());
        } else if (prerequisites.count(section.name) != 0) {
            CheckPrerequisiteKeys(findings, section, prerequisites.at(section.name));
        } else if (named.count(section.name) == 0) {
            const std::wstring nearest = Nearest(section.name, KnownSectionNames(view));
            // A section that an App entry misses by its spelling is reported at that entry.
            if (nearest.empty() || view.Ini().FindSection(nearest) != nullptr || named.count(nearest) == 0)
                findings.Add(section.line, Severity::Warning,
                             "section [" + Utf8(section.name) + "] is not read by the chainer" + Suggestion(nearest));
        }
    }
}

} // namespace orvanta_ini
