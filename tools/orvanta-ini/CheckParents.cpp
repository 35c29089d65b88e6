#include "CheckSteps.h"

#include "CheckText.h"

#include <algorithm>
#include <set>

namespace orvanta_ini {

using orvanta::IniPair;
using orvanta::IniSection;
using orvanta::PrereqInfo;

void CheckParents(FindingCollector& findings)
{
    const IniView& view = findings.View();
    const std::vector<PrereqInfo>& prereqs = view.Config().prerequisites;
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
        const IniSection* section = view.Ini().FindSection(prereqs[index].name);
        const IniPair* pair = section != nullptr ? IniView::FindPair(*section, L"ParentPrereq") : nullptr;
        if (prereqs[index].ParentPrereq.empty() || pair == nullptr)
            continue;
        if (parentOf(index) == prereqs.size()) {
            std::vector<std::wstring> names;
            for (const PrereqInfo& prereq : prereqs)
                names.push_back(prereq.name);
            findings.Add(pair->line, Severity::Warning,
                         "ParentPrereq " + Quoted(prereqs[index].ParentPrereq) +
                             " names no prerequisite the chainer reads" +
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
                findings.Add(pair->line, Severity::Error,
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

} // namespace orvanta_ini
