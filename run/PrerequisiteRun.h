// The phases that InstallPrerequisites drives: the search phase, the install stages, the
// re-check and the mandatory check. The run sequence depends only on this interface so that
// each phase can be exercised on its own.
#pragma once

#include <memory>

namespace orvanta {

struct ChainerConfig;
class ExtractionContext;
class InterbootStore;

struct RebootFlags {
    bool required = false;
    bool refused = false;
    bool inProgress = false;
};

// The download, open-site and install stages of one run.
class InstallStages {
public:
    virtual ~InstallStages() = default;
    virtual void SetSilent(bool silent) = 0;
    virtual void Prepare() = 0;
    virtual void RunDownloadStage(bool flag) = 0;
    virtual void RunOpenSiteStage(bool flag) = 0;
    virtual void RunInstallStage(bool flag) = 0;
    virtual RebootFlags Reboot() const = 0;
};

class PrerequisiteRun {
public:
    virtual ~PrerequisiteRun() = default;
    virtual void SearchAll(ChainerConfig& config) = 0;
    virtual std::unique_ptr<InstallStages> BuildStages(ChainerConfig& config, ExtractionContext& extraction,
                                                       InterbootStore& store) = 0;
    virtual void Recheck(ChainerConfig& config) = 0;
    // False when a mandatory prerequisite is not installed correctly.
    virtual bool MandatoryCheck(ChainerConfig& config) = 0;
};

// The product's phases.
std::unique_ptr<PrerequisiteRun> CreatePrerequisiteRun();

struct InstallOutcome {
    int32_t result = 0;       // 0, 1 or -1
    bool rebootPending = false;
};

// Runs the phases over the configuration and keeps HKCU\InterbootContext exactly when a
// reboot is outstanding.
InstallOutcome InstallPrerequisites(ChainerConfig& config, ExtractionContext& extraction, PrerequisiteRun& run);

} // namespace orvanta
