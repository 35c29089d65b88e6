#include "run/RunPlan.h"

#include "detection/OsIdentification.h"
#include "detection/Searches.h"
#include "download/DownloadTargets.h"
#include "platform/Logger.h"
#include "platform/SystemFunction.h"
#include "run/Jobs.h"

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

PrereqDecision DecisionForSource(PrereqSourceKind kind)
{
    switch (kind) {
    case SourceUrl: return Download;
    case SourceOpenSite: return OpenSite;
    default: return InstallFromPackage;
    }
}

} // namespace

bool NeedsInstallOrDownloaded(PrereqDecision decision)
{
    return NeedsInstall(decision) || decision == AlreadyDownloaded;
}

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

RunPlan::RunPlan(const ChainerConfig& config) : config_(config), entries_(config.prerequisites.size())
{
}

void RunPlan::Search(size_t index, bool skipFlagged, NativeMachineProbe nativeMachine)
{
    const PrereqInfo& prereq = Prereq(index);
    PlanEntry& entry = entries_.at(index);
    if (entry.decision == OsNotSupported)
        return;
    const bool osMatches = OsMatches(prereq.WinNTVersions, prereq.WinNT64Versions);
    if (!osMatches || !LanguageMatches(prereq.LanguageList)) {
        LogLine(L"Wrong OS or Os language for:" + prereq.name);
        entry.decision = OsNotSupported;
        entry.skipped = osMatches ? SkipReason::Language : SkipReason::Os;
        return;
    }
    if (ExcludedByProcessor(prereq, nativeMachine)) {
        entry.decision = OsNotSupported;
        entry.skipped = SkipReason::Processor;
        return;
    }
    const bool use64 = prereq.options.Has(PrereqOption::Searches64Bit);
    const bool notSearched = prereq.options.Has(PrereqOption::NotSearched);
    LogLine(L"Searching for:" + prereq.name);
    if (skipFlagged && notSearched)
        return;

    std::vector<SearchFinding> findings;
    const bool found = !notSearched &&
                       EvaluateSearches(prereq.searches, findings, prereq.Operator, use64, config_.programs);
    entry.decision = found ? AcceptableFound : DecisionForSource(prereq.sourceKind);
    LogLine(std::wstring(L"Search result:") + DecisionText(entry.decision));
}

bool RunPlan::FilePresent(size_t index) const
{
    return DownloadPresent(config_.downloadFolder, MakeDownloadJob(Prereq(index)));
}

void RunPlan::SearchAll(NativeMachineProbe nativeMachine)
{
    for (size_t index = 0; index < entries_.size(); ++index)
        Search(index, false, nativeMachine);
    for (size_t index = 0; index < entries_.size(); ++index) {
        PlanEntry& entry = entries_[index];
        if (entry.decision == Download || entry.decision == AlreadyDownloaded)
            entry.downloadPresent = FilePresent(index);
        SetSelected(index, NeedsInstallOrDownloaded(entries_[index].decision));
    }
}

void RunPlan::SetSelected(size_t index, bool selected)
{
    if (entries_.at(index).selected == selected)
        return;
    entries_[index].selected = selected;
    LogLine(L"Prerequisite selected for install:" + Prereq(index).name);

    const std::wstring& name = Prereq(index).name;
    for (size_t child = 0; child < entries_.size(); ++child) {
        if (child != index && entries_[child].decision != OsNotSupported && Prereq(child).ParentPrereq == name)
            SetSelected(child, selected && NeedsInstall(entries_[child].decision));
    }
    if (!selected)
        return;

    const std::wstring& parentName = Prereq(index).ParentPrereq;
    if (parentName.empty())
        return;
    for (size_t parent = 0; parent < entries_.size(); ++parent) {
        if (Prereq(parent).name != parentName)
            continue;
        if (entries_[parent].decision != AcceptableFound && entries_[parent].decision != OsNotSupported)
            SetSelected(parent, true);
        break;  // the first prerequisite of that name is the parent
    }
    entries_[index].selected = selected;  // a cycle of parents may have passed through this one
}

bool RunPlan::SomethingToInstall() const
{
    for (const PlanEntry& entry : entries_) {
        if (NeedsInstall(entry.decision))
            return true;
    }
    return false;
}

PlannedAction RunPlan::ActionFor(size_t index) const
{
    const PlanEntry& entry = entries_[index];
    if (!entry.selected)
        return PlannedAction::None;
    PrereqDecision decision = entry.decision;
    if (decision == AcceptableFound)  // a parent pulled in by a child: installed from its source
        decision = DecisionForSource(Prereq(index).sourceKind);
    switch (decision) {
    case InstallFromPackage: return PlannedAction::InstallFromPackage;
    case OpenSite: return PlannedAction::OpenSite;
    case Download:
    case AlreadyDownloaded: {
        const bool present = entry.decision == AcceptableFound ? FilePresent(index) : entry.downloadPresent;
        return present ? PlannedAction::InstallDownloaded : PlannedAction::Download;
    }
    default: return PlannedAction::None;
    }
}

const std::vector<PlannedAction>& RunPlan::Actions()
{
    if (!actionsDecided_) {
        actions_.clear();
        for (size_t index = 0; index < entries_.size(); ++index)
            actions_.push_back(ActionFor(index));
        actionsDecided_ = true;
    }
    return actions_;
}

bool RunPlan::InstalledNow(size_t index, NativeMachineProbe nativeMachine)
{
    Search(index, true, nativeMachine);
    return entries_.at(index).decision == AcceptableFound;
}

// Runs after the stages: nothing is started after it, so the download folder is not looked at.
void RunPlan::Recheck(NativeMachineProbe nativeMachine)
{
    // Chosen before any search: a parent found now deselects its children, which must still be
    // searched again, or the mandatory check would judge them by their first search.
    std::vector<size_t> toRecheck;
    for (size_t index = 0; index < entries_.size(); ++index) {
        if (entries_[index].selected && entries_[index].decision != OsNotSupported)
            toRecheck.push_back(index);
    }
    for (const size_t index : toRecheck) {
        Search(index, true, nativeMachine);
        SetSelected(index, NeedsInstallOrDownloaded(entries_[index].decision));
    }
}

bool RunPlan::MandatoryCheck() const
{
    for (size_t index = 0; index < entries_.size(); ++index) {
        const PrereqInfo& prereq = Prereq(index);
        if (!prereq.options.Has(PrereqOption::Mandatory) || prereq.options.Has(PrereqOption::NotSearched))
            continue;
        // The prerequisite's own search decides, not its selection: a child whose installer
        // failed is deselected as soon as its parent is found, yet it is still missing.
        if (NeedsInstallOrDownloaded(entries_[index].decision))
            return false;
    }
    return true;
}

} // namespace orvanta
