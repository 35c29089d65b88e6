// What happened to each prerequisite of one run: the first and the final decision, the action
// taken, the download's result and the installer's return code and duration. The run fills it
// from its plan, the stages report to it while they run (from the worker thread of the progress
// dialog as well), and the result file reads one copy of it at the end, also at the end of a run
// that failed on an unexpected error.
#pragma once

#include "download/DownloadJob.h"
#include "install/PackageLauncher.h"
#include "platform/CriticalSection.h"
#include "run/PrerequisiteRun.h"
#include "run/RunPlan.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

enum class PrereqAction {
    None,                    // found, or nothing was needed
    InstalledFromPackage,    // its SetupFile was started
    DownloadedAndInstalled,  // downloaded, verified, then started
    InstalledFromDownload,   // a verified file from an earlier download was started
    DownloadFailed,          // the download failed or was rejected: nothing was started
    SiteOpened,
    NotStarted,              // planned, but the run ended first (a cancel, a restart, a failure)
    SkippedByOs,
    SkippedByLanguage,
    SkippedByProcessor,
    NotSelected,             // missing, but not chosen for this run (its parent was found)
};

struct PrereqRecord {
    std::wstring name;
    PrereqDecision firstDecision = Undefined;
    PrereqDecision finalDecision = Undefined;
    PrereqAction action = PrereqAction::None;
    bool downloadTried = false;
    DownloadResult download;
    bool installerRan = false;
    uint32_t returnCode = 0;
    uint64_t durationMs = 0;
    std::wstring error;  // the log line that said what failed; empty when nothing did
};

// One copy of the record, ending as `end`.
struct RunSummary {
    std::wstring resultFile;  // empty: none is written
    SYSTEMTIME start{};
    SYSTEMTIME end{};
    RunEnd runEnd = RunEnd::Completed;
    ExitCodeStyle style = ExitCodeStyle::Classic;
    RebootFlags reboot;
    std::vector<PrereqRecord> prerequisites;
};

// What the stages tell as they go; callable from any thread.
class RunReport {
public:
    // The names and first decisions, after the first search.
    virtual void Searched(const RunPlan& plan) = 0;
    // The final decisions and the restart state, once the stages are over.
    virtual void Finished(const RunPlan& plan, const RebootFlags& reboot) = 0;
    virtual void Planned(const std::vector<PlannedAction>& actions) = 0;
    virtual void Downloaded(size_t prereq, const DownloadResult& result) = 0;
    virtual void SiteOpened(size_t prereq) = 0;
    // The launcher's item after its installer ran (or failed to start).
    virtual void Installed(size_t prereq, const LaunchItem& item, uint64_t durationMs) = 0;

protected:
    ~RunReport() = default;
};

class RunRecord final : public RunReport {
public:
    // The run starts now.
    RunRecord();
    RunRecord(const RunRecord&) = delete;
    RunRecord& operator=(const RunRecord&) = delete;

    // Where the result goes (expanded; empty: nowhere) and which exit codes the run speaks.
    void Configure(const std::wstring& resultFile, ExitCodeStyle style);

    void Searched(const RunPlan& plan) override;
    void Finished(const RunPlan& plan, const RebootFlags& reboot) override;
    void Planned(const std::vector<PlannedAction>& actions) override;
    void Downloaded(size_t prereq, const DownloadResult& result) override;
    void SiteOpened(size_t prereq) override;
    void Installed(size_t prereq, const LaunchItem& item, uint64_t durationMs) override;

    // A copy of what is known, ending now as `end`. False when another thread held the record
    // for longer than `waitMs` (a thread that faulted while it held it never lets it go).
    bool Summarize(RunEnd end, RunSummary& summary, DWORD waitMs) const;

private:
    PrereqRecord* At(size_t prereq);
    PrereqAction ActionOf(size_t prereq) const;

    mutable CriticalSection lock_;
    SYSTEMTIME start_{};
    std::wstring resultFile_;
    ExitCodeStyle style_ = ExitCodeStyle::Classic;
    RebootFlags reboot_;
    std::vector<PrereqRecord> prerequisites_;
    std::vector<PlannedAction> planned_;
    std::vector<SkipReason> skipped_;
    std::vector<bool> sitesOpened_;
};

} // namespace orvanta
