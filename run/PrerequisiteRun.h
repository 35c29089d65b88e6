// The phases that InstallPrerequisites drives over the run's plan: the search phase, the
// install stages, the re-check and the mandatory check. The run sequence depends only on this
// interface so that each phase can be exercised on its own.
#pragma once

#include "config/Config.h"

#include <cstdint>
#include <memory>

namespace orvanta {

struct ChainerConfig;
class RunPlan;
class DownloadQuestions;
class ExtractionContext;
class InterbootStore;
class ProgressSink;
class RunReport;
class UserInterface;
struct RunServices;

struct RebootFlags {
    bool required = false;
    bool refused = false;
    bool inProgress = false;
};

// The download, open-site and install stages of one run. They report to the sink of the
// progress dialog, or to none (null) in a silent run.
class InstallStages {
public:
    virtual ~InstallStages() = default;
    virtual void SetSilent(bool silent) = 0;
    // Runs the stages. A silent run goes on as far as it can and its result is not looked at;
    // with a sink the run ends at a failed stage or a cancel: 0, 1602 canceled, or 1603 a
    // download was rejected, or a mandatory prerequisite failed or asked for a restart. Logins
    // and certificate errors are put to `questions` (null in a silent run: refused).
    virtual uint32_t Run(ProgressSink* sink, DownloadQuestions* questions) = 0;
    // No further installer is started (the user's session ends); safe from another thread.
    virtual void Stop() = 0;
    virtual RebootFlags Reboot() const = 0;
    // What happens to each prerequisite goes to `report` (not owned; null: nowhere).
    virtual void ReportTo(RunReport* report) { (void)report; }
};

class PrerequisiteRun {
public:
    virtual ~PrerequisiteRun() = default;
    virtual void SearchAll(RunPlan& plan) = 0;
    virtual std::unique_ptr<InstallStages> BuildStages(RunPlan& plan, ExtractionContext& extraction,
                                                       InterbootStore& store) = 0;
    virtual void Recheck(RunPlan& plan) = 0;
    // False when a mandatory prerequisite is not installed correctly.
    virtual bool MandatoryCheck(RunPlan& plan) = 0;
};

// The product's phases, calling the system through `services` (copied).
std::unique_ptr<PrerequisiteRun> CreatePrerequisiteRun(const RunServices& services);

// How a run ended. ExitCodeFor is the one place that turns it into the process's exit code.
// The codes are the classic ones, then those of ExitCodes=msi.
enum class RunEnd {
    Completed,                 // 0, 0: nothing to do, or everything needed is installed
    MandatoryMissing,          // 1, 1603: a mandatory prerequisite is still missing
    RebootPending,             // -1, 3010: a restart is outstanding
    AlreadyRunning,            // 1618, 1618: another run of the package holds its lock
    Failed,                    // 1603, 1603: an error ended the run with a report
    RebootStarted,             // -1, 1641: a restart is under way
    Canceled,                  // 0, 1602: the user canceled; nothing mandatory is missing
    CanceledMandatoryMissing,  // 1, 1602: the user canceled; a mandatory prerequisite is missing
};
int32_t ExitCodeFor(RunEnd end, ExitCodeStyle style = ExitCodeStyle::Classic);

struct InstallOutcome {
    RunEnd end = RunEnd::Completed;
    bool RebootPending() const { return end == RunEnd::RebootPending || end == RunEnd::RebootStarted; }
};

// Plans and runs the phases over the configuration (whose folders are resolved) and keeps
// HKCU\InterbootContext exactly when a reboot is outstanding. With an interface (null in a
// silent run) the search runs on a worker thread behind the status window, and a
// basic-interface run installs inside the progress dialog.
// The plan's decisions and the stages' results go to `report` when one is given.
InstallOutcome InstallPrerequisites(const ChainerConfig& config, ExtractionContext& extraction, PrerequisiteRun& run,
                                    UserInterface* ui = nullptr, RunReport* report = nullptr);

} // namespace orvanta
