#include "Check.h"

#include "CheckSteps.h"
#include "CheckText.h"
#include "IniView.h"
#include "SearchTypeNames.h"
#include "Unicode.h"

#include "config/References.h"
#include "config/VersionValue.h"
#include "detection/Searches.h"
#include "download/DownloadNames.h"
#include "platform/DisplayLanguages.h"
#include "platform/Strings.h"

#include <algorithm>
#include <map>
#include <set>

namespace orvanta_ini {
namespace {

using orvanta::IniPair;
using orvanta::IniSection;
using orvanta::PrereqInfo;
using orvanta::PrereqReadFailure;

class Checker {
public:
    explicit Checker(const std::string& bytes) : view_(bytes), findings_(view_) {}

    std::vector<Finding> Run()
    {
        if (!CheckEncoding(findings_) || !CheckLineEnds(findings_))
            return findings_.Findings();
        CheckIgnoredLines(findings_);
        CheckDuplicates(findings_);
        CheckPrerequisiteList(findings_);
        CheckSections(findings_);
        CheckGeneralOptions(findings_);
        for (size_t index = 0; index < view_.Config().prerequisites.size(); ++index)
            CheckPrerequisite(findings_, view_.Config().prerequisites[index]);
        CheckParents();
        std::vector<Finding> sorted = findings_.Findings();
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
        return sorted;
    }

private:
    void Add(int readerLine, Severity severity, const std::string& message)
    {
        findings_.Add(readerLine, severity, message);
    }

    void CheckParents()
    {
        const std::vector<PrereqInfo>& prereqs = view_.Config().prerequisites;
        // The pipeline takes the first prerequisite of the name as the parent.
        const auto parentOf = [&prereqs](size_t index) -> size_t {
            for (size_t candidate = 0; candidate < prereqs.size(); ++candidate) {
                if (!prereqs[index].ParentPrereq.empty() && prereqs[candidate].name == prereqs[index].ParentPrereq)
                    return candidate;
            }
            return prereqs.size();
        };
        std::set<size_t> inReportedCycle;
        for (size_t index = 0; index < prereqs.size(); ++index) {
            const IniSection* section = view_.Ini().FindSection(prereqs[index].name);
            const IniPair* pair = section != nullptr ? IniView::FindPair(*section, L"ParentPrereq") : nullptr;
            if (prereqs[index].ParentPrereq.empty() || pair == nullptr)
                continue;
            if (parentOf(index) == prereqs.size()) {
                std::vector<std::wstring> names;
                for (const PrereqInfo& prereq : prereqs)
                    names.push_back(prereq.name);
                Add(pair->line, Severity::Warning,
                    "ParentPrereq " + Quoted(prereqs[index].ParentPrereq) + " names no prerequisite the chainer reads" +
                        Suggestion(Nearest(prereqs[index].ParentPrereq, names)));
                continue;
            }
            if (inReportedCycle.count(index) != 0)
                continue;
            std::vector<size_t> path = {index};
            for (size_t next = parentOf(index); next < prereqs.size(); next = parentOf(next)) {
                if (next == index) {
                    std::string chain;
                    for (const size_t member : path) {
                        chain += Quoted(prereqs[member].name) + " -> ";
                        inReportedCycle.insert(member);
                    }
                    Add(pair->line, Severity::Error,
                        "parent cycle: " + chain + Quoted(prereqs[index].name) +
                            " (each pulls the other in; none is a parent)");
                    break;
                }
                if (std::find(path.begin(), path.end(), next) != path.end())
                    break;  // a cycle further up, reported from one of its members
                path.push_back(next);
            }
        }
    }

    IniView view_;
    FindingCollector findings_;
};

} // namespace

std::vector<Finding> CheckIni(const std::string& bytes)
{
    return Checker(bytes).Run();
}

} // namespace orvanta_ini
