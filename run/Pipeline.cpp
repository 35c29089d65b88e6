#include "run/Pipeline.h"

#include "detection/OsIdentification.h"
#include "detection/Searches.h"
#include "download/DownloadTargets.h"
#include "platform/Logger.h"
#include "platform/Text.h"
#include "platform/SystemFunction.h"

#include <windows.h>

namespace orvanta {
namespace {

const uint16_t kArm64 = 0xAA64;

// "c": not on ARM64; "d": only on ARM64. Without IsWow64Process2 the machine is taken as not
// ARM64; when it exists but fails, there is no processor check at all.
bool ExcludedByProcessor(const PrereqInfo& prereq, NativeMachineProbe nativeMachine)
{
    const NativeMachine native = nativeMachine();
    if (native.known) {
        if (native.machine == kArm64)
            return prereq.options.Has(PrereqOption::NotOnArm64);
        return prereq.options.Has(PrereqOption::OnlyOnArm64);
    }
    if (native.available)
        return false;
    return prereq.options.Has(PrereqOption::OnlyOnArm64);
}

bool NeedsInstall(PrereqDecision decision)
{
    return decision == InstallFromPackage || decision == Download || decision == OpenSite;
}

bool NeedsInstallOrDownloaded(PrereqDecision decision)
{
    return NeedsInstall(decision) || decision == AlreadyDownloaded;
}

PrereqDecision DecisionForSource(PrereqSourceKind kind)
{
    switch (kind) {
    case SourceUrl: return Download;
    case SourceOpenSite: return OpenSite;
    default: return InstallFromPackage;
    }
}

void RefreshDownloadPresent(ChainerConfig& config, PrereqInfo& prereq, PresenceCheck check)
{
    if (prereq.decision == Download || prereq.decision == AlreadyDownloaded)
        prereq.downloadPresent = DownloadPresent(config, prereq, check);
}

} // namespace

NativeMachine QueryNativeMachine()
{
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    static const IsWow64Process2Fn isWow64Process2 =
        GetLoadedFunction<IsWow64Process2Fn>(L"kernel32", "IsWow64Process2");
    NativeMachine result;
    result.available = isWow64Process2 != nullptr;
    USHORT processMachine = 0;
    USHORT nativeMachine = 0;
    if (result.available && isWow64Process2(::GetCurrentProcess(), &processMachine, &nativeMachine)) {
        result.known = true;
        result.machine = nativeMachine;
    }
    return result;
}

bool SearchPrerequisite(ChainerConfig& config, size_t index, bool skipFlagged, NativeMachineProbe nativeMachine)
{
    PrereqInfo& prereq = config.prerequisites.at(index);
    if (prereq.decision == OsNotSupported)
        return true;
    if (!OsMatches(prereq.WinNTVersions, prereq.WinNT64Versions) || !LanguageMatches(prereq.LanguageList)) {
        LogLine(L"Wrong OS or Os language for:" + prereq.name);
        prereq.decision = OsNotSupported;
        return true;
    }
    if (ExcludedByProcessor(prereq, nativeMachine)) {
        prereq.decision = OsNotSupported;
        return true;
    }
    const bool use64 = prereq.options.Has(PrereqOption::Searches64Bit);
    const bool notSearched = prereq.options.Has(PrereqOption::NotSearched);
    LogLine(L"Searching for:" + prereq.name);
    if (skipFlagged && notSearched)
        return true;

    const bool found = !notSearched &&
                       EvaluateSearches(prereq.searches, prereq.findings, prereq.Operator, use64, config.programs);
    prereq.decision = found ? AcceptableFound : DecisionForSource(prereq.sourceKind);
    LogLine(std::wstring(L"Search result:") + DecisionText(prereq.decision));
    return true;
}

void SearchAllPrerequisites(ChainerConfig& config, NativeMachineProbe nativeMachine)
{
    for (size_t index = 0; index < config.prerequisites.size(); ++index)
        SearchPrerequisite(config, index, false, nativeMachine);
    for (size_t index = 0; index < config.prerequisites.size(); ++index) {
        PrereqInfo& prereq = config.prerequisites[index];
        RefreshDownloadPresent(config, prereq, PresenceCheck::BeforeLaunch);
        SetSelected(config, index, NeedsInstallOrDownloaded(prereq.decision));
    }
}

void SetSelected(ChainerConfig& config, size_t index, bool selected)
{
    std::vector<PrereqInfo>& prereqs = config.prerequisites;
    if (prereqs.at(index).selected == selected)
        return;
    prereqs[index].selected = selected;
    LogLine(L"Prerequisite selected for install:" + prereqs[index].name);

    for (size_t child = 0; child < prereqs.size(); ++child) {
        if (child != index && prereqs[child].decision != OsNotSupported &&
            prereqs[child].ParentPrereq == prereqs[index].name)
            SetSelected(config, child, selected && NeedsInstall(prereqs[child].decision));
    }
    if (!selected)
        return;

    const std::wstring& parentName = prereqs[index].ParentPrereq;
    if (parentName.empty())
        return;
    for (size_t parent = 0; parent < prereqs.size(); ++parent) {
        if (prereqs[parent].name != parentName)
            continue;
        if (prereqs[parent].decision != AcceptableFound && prereqs[parent].decision != OsNotSupported)
            SetSelected(config, parent, true);
        break;  // the first prerequisite of that name is the parent
    }
    prereqs[index].selected = selected;  // a cycle of parents may have passed through this one
}

// Runs after the stages: nothing is started after it, so present downloads are not hashed again.
void RecheckPrerequisites(ChainerConfig& config, NativeMachineProbe nativeMachine)
{
    // Chosen before any search: a parent found now deselects its children, which must still be
    // searched again, or the mandatory check would judge them by their first search.
    std::vector<size_t> toRecheck;
    for (size_t index = 0; index < config.prerequisites.size(); ++index) {
        const PrereqDecision effective = EffectiveDecision(config, index, PresenceCheck::AfterInstall);
        if (effective != NotSelected && effective != OsNotSupported)
            toRecheck.push_back(index);
    }
    for (const size_t index : toRecheck) {
        SearchPrerequisite(config, index, true, nativeMachine);
        PrereqInfo& prereq = config.prerequisites[index];
        RefreshDownloadPresent(config, prereq, PresenceCheck::AfterInstall);
        SetSelected(config, index, NeedsInstallOrDownloaded(prereq.decision));
    }
}

bool MandatoryCheck(const ChainerConfig& config)
{
    for (const PrereqInfo& prereq : config.prerequisites) {
        if (!prereq.options.Has(PrereqOption::Mandatory) || prereq.options.Has(PrereqOption::NotSearched))
            continue;
        // The prerequisite's own search decides, not its selection: a child whose installer
        // failed is deselected as soon as its parent is found, yet it is still missing.
        if (NeedsInstallOrDownloaded(prereq.decision))
            return false;
    }
    return true;
}

} // namespace orvanta
