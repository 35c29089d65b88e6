#include "detection/Searches.h"

#include "config/FolderProperties.h"
#include "platform/OsVersion.h"
#include "detection/SearchKinds.h"
#include "config/VersionValue.h"
#include "platform/LaunchTarget.h"
#include "platform/Logger.h"
#include "platform/ProcessLaunch.h"

#include <windows.h>

namespace orvanta {

bool EvaluateSearches(const std::vector<PrereqSearch>& searches, std::vector<SearchFinding>& findings, int32_t op,
                      bool use64, const ProgramLocator* programs)
{
    findings.clear();
    const bool start = op == 0;
    bool answer = start;
    for (const PrereqSearch& search : searches) {
        SearchFinding finding;
        if (static_cast<SearchType>(search.SearchType) == SearchType::RunProgram)
            RunProgramSearch(search, programs, finding);
        else
            RunSearch(search, use64, finding);
        const bool own = SearchAnswer(search, finding);
        if (op == 0)
            answer = answer && own;
        else if (op == 1)
            answer = answer || own;
        else
            answer = false;
        findings.push_back(std::move(finding));
        if (answer != start)
            break;
    }
    return answer;
}

void RunSearch(const PrereqSearch& search, bool use64, SearchFinding& finding)
{
    const std::wstring& text = search.SearchString;
    switch (static_cast<SearchType>(search.SearchType)) {
    case SearchType::FileVersion:
        SearchFileVersion(text, use64, finding);
        break;
    case SearchType::RegistryKeyNames:
        SearchRegistryKeyNames(text, use64, finding);
        break;
    case SearchType::RegistryValueVersion:
        SearchRegistryValueVersion(text, use64, finding);
        break;
    case SearchType::MsiProductVersion:
        SearchMsiProductVersion(text, finding);
        break;
    case SearchType::MsiUpgradeCodeVersions:
        SearchMsiUpgradeCodeVersions(text, finding);
        break;
    case SearchType::RegistryKeyExists:
        SearchRegistryKeyExists(text, use64, finding);
        break;
    case SearchType::RegistryKeyAbsent:
        SearchRegistryKeyExists(text, use64, finding);
        finding.found = !finding.found;
        break;
    case SearchType::RegistryValueExists:
        SearchRegistryValueExists(text, use64, finding);
        break;
    case SearchType::RegistryValueAbsent:
        SearchRegistryValueExists(text, use64, finding);
        finding.found = !finding.found;
        break;
    case SearchType::RegistryValueContent:
        SearchRegistryValueContent(text, use64, finding);
        break;
    case SearchType::MsiComponentInstalled:
        SearchMsiComponent(text, finding);
        break;
    case SearchType::RegistryValueNames:
        SearchRegistryValueNames(text, use64, finding);
        break;
    case SearchType::AppxPackageVersion:
        SearchAppxPackage(text, IsWindows10OrLater(GetOsVersionInfo()), finding);
        break;
    case SearchType::FolderNameVersions:
        SearchFolderNames(text, use64, finding);
        break;
    case SearchType::RunProgram:
    default:
        break;
    }
}

void RunProgramSearch(const PrereqSearch& search, const ProgramLocator* programs, SearchFinding& finding)
{
    const std::wstring program = programs != nullptr ? programs->GetProgramPath(search.SearchString) : std::wstring();
    // Shell-opening an empty name or a folder starts Explorer, which never exits, and the chainer
    // itself would search again and start itself without end: nothing to run, not found.
    if (search.SearchString.empty() || CheckLaunchTarget(program) != 0)
        return;
    // A missing program is simply not found; one too long for the shell is logged by the check.
    if (CheckStartablePath(program) != 0)
        return;
    const std::wstring parameters = ExpandReferences(search.SearchCmdLine, false);
    const bool hidden = search.RefContent == L"WND_HIDE";
    uint32_t exitCode = 0;
    FlushLog();  // the package's program may hang or restart the machine
    finding.found = ShellExecuteAndWait(program, parameters, std::wstring(), hidden, &exitCode) && exitCode == 0;
}

bool SearchAnswer(const PrereqSearch& search, const SearchFinding& finding)
{
    switch (static_cast<SearchType>(search.SearchType)) {
    case SearchType::FileVersion:
    case SearchType::RegistryKeyNames:
    case SearchType::RegistryValueVersion:
    case SearchType::MsiProductVersion:
    case SearchType::MsiUpgradeCodeVersions:
    case SearchType::RegistryValueNames:
    case SearchType::AppxPackageVersion:
    case SearchType::FolderNameVersions:
        return VersionInRange(search.VerMin, search.VerMax, finding.versions);
    case SearchType::RegistryKeyExists:
    case SearchType::RegistryKeyAbsent:
    case SearchType::RegistryValueExists:
    case SearchType::RegistryValueAbsent:
    case SearchType::RunProgram:
    case SearchType::MsiComponentInstalled:
        return finding.found;
    case SearchType::RegistryValueContent:
        return finding.found && ReferenceTest(search.RefContent, finding.value);
    default:
        return true;
    }
}

} // namespace orvanta
