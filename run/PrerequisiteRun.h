// The phases that InstallPrerequisites drives: the search phase, the install stages, the
// re-check and the mandatory check. The run sequence depends only on this interface so that
// each phase can be exercised on its own.
#pragma once

#include <cstdint>
#include <memory>

namespace orvanta {

struct ChainerConfig;
class DownloadQuestions;
class ExtractionContext;
class InterbootStore;
class ProgressSink;
class UserInterface;
struct RunServices;

struct RebootFlags {
    bool required = false;
    bool refused = false;
    bool inProgress = false;
};

// The download, open-site and install stages of one run. Each stage reports to the sink of the
// progress dialog, or to none (null) in a silent run.
class InstallStages {
public:
    virtual ~InstallStages() = default;
    virtual void SetSilent(bool silent) = 0;
    // 0, or 1603 when a download was rejected or a mandatory one failed. Logins and certificate
    // errors are put to `questions` (null in a silent run: refused).
    virtual uint32_t RunDownloadStage(ProgressSink* sink, DownloadQuestions* questions) = 0;
    virtual void RunOpenSiteStage(ProgressSink* sink) = 0;
    // 0, 1602 canceled through the sink, or 1603 a mandatory prerequisite failed or asked for
    // a reboot.
    virtual uint32_t RunInstallStage(ProgressSink* sink) = 0;
    // No further installer is started (the user's session ends); safe from another thread.
    virtual void Stop() = 0;
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

// The product's phases, calling the system through `services` (copied).
std::unique_ptr<PrerequisiteRun> CreatePrerequisiteRun(const RunServices& services);

struct InstallOutcome {
    int32_t result = 0;       // 0, 1 or -1
    bool rebootPending = false;
};

// Runs the phases over the configuration and keeps HKCU\InterbootContext exactly when a
// reboot is outstanding. With an interface (null in a silent run) the search runs on a worker
// thread behind the status window, and a basic-interface run installs inside the progress
// dialog.
InstallOutcome InstallPrerequisites(ChainerConfig& config, ExtractionContext& extraction, PrerequisiteRun& run,
                                    UserInterface* ui = nullptr);

} // namespace orvanta
