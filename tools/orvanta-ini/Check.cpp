#include "Check.h"

#include "CheckSteps.h"
#include "FindingCollector.h"
#include "IniView.h"

#include <algorithm>

namespace orvanta_ini {

std::vector<Finding> CheckIni(const std::string& bytes)
{
    const IniView view(bytes);
    FindingCollector findings(view);
    if (!CheckEncoding(findings) || !CheckLineEnds(findings))
        return findings.Findings();
    CheckIgnoredLines(findings);
    CheckDuplicates(findings);
    CheckPrerequisiteList(findings);
    CheckSections(findings);
    CheckGeneralOptions(findings);
    CheckChainerOptions(findings);
    for (const orvanta::PrereqInfo& info : view.Config().prerequisites)
        CheckPrerequisite(findings, info);
    CheckParents(findings);
    std::vector<Finding> sorted = findings.Findings();
    std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return sorted;
}

} // namespace orvanta_ini
