// The run's plan: for each prerequisite the decision of its search, whether it is selected
// (children follow their parent, a selected child pulls its parent in) and, once the stages
// start, the one action taken for it. The re-check after the installers makes the next plan
// from the same searches. The configuration is only read; the plan is the only place that
// decides. Prerequisites are addressed by their index in the configuration.
#pragma once

#include "config/Config.h"

#include <cstdint>
#include <vector>

namespace orvanta {

// The native processor as IsWow64Process2 reports it, which the processor letters "c" and "d"
// test. Tests hand in probes of their own.
struct NativeMachine {
    bool known = false;       // IsWow64Process2 exists and answered
    bool available = false;   // IsWow64Process2 exists
    uint16_t machine = 0;     // IMAGE_FILE_MACHINE_* of the native processor
};
using NativeMachineProbe = NativeMachine (*)();
NativeMachine QueryNativeMachine();

// The decision says the prerequisite is missing: to install from the package, download, open a
// site, or install from a download already there.
bool NeedsInstallOrDownloaded(PrereqDecision decision);

// What the stages do with a prerequisite.
enum class PlannedAction {
    None,                // not selected, found, or not for this system
    InstallFromPackage,  // its SetupFile
    Download,            // downloaded, then installed once the file is verified
    InstallDownloaded,   // its verified file is already there
    OpenSite,
};

// Why a prerequisite is not for this system (its decision is then OsNotSupported).
enum class SkipReason { None, Os, Language, Processor };

struct PlanEntry {
    PrereqDecision decision = Undefined;  // of the latest search
    SkipReason skipped = SkipReason::None;
    bool selected = false;
    bool downloadPresent = false;  // at the first search: a verified file lies where the download puts it
};

class RunPlan {
public:
    explicit RunPlan(const ChainerConfig& config);

    const ChainerConfig& Config() const { return config_; }
    size_t Size() const { return entries_.size(); }
    const PlanEntry& Entry(size_t index) const { return entries_.at(index); }
    const PrereqInfo& Prereq(size_t index) const { return config_.prerequisites.at(index); }

    // Searches every prerequisite, then selects those that need installing. The processor
    // letters are tested against `nativeMachine`.
    void SearchAll(NativeMachineProbe nativeMachine = &QueryNativeMachine);
    // Filters, searches and decides for one prerequisite.
    void Search(size_t index, bool skipFlagged, NativeMachineProbe nativeMachine = &QueryNativeMachine);
    // Sets the selected flag; children follow their parent, a selected child pulls its parent in.
    void SetSelected(size_t index, bool selected);
    // Something was decided for installing, downloading or opening.
    bool SomethingToInstall() const;

    // The action of every prerequisite, decided on the first call: a found parent that a child
    // pulled in is installed from its source, and a download whose verified file is there is
    // not fetched again.
    const std::vector<PlannedAction>& Actions();
    // Searches one prerequisite again after its installer ran: true when it is now found.
    bool InstalledNow(size_t index, NativeMachineProbe nativeMachine = &QueryNativeMachine);

    // Searches again what was selected, after the installers ran: the decisions and selection
    // change, the actions stay those of the stages that ran.
    void Recheck(NativeMachineProbe nativeMachine = &QueryNativeMachine);
    // False when a mandatory prerequisite is still missing.
    bool MandatoryCheck() const;

private:
    bool FilePresent(size_t index) const;
    PlannedAction ActionFor(size_t index) const;

    const ChainerConfig& config_;
    std::vector<PlanEntry> entries_;
    std::vector<PlannedAction> actions_;
    bool actionsDecided_ = false;
};

} // namespace orvanta
