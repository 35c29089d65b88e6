// The stages of one run over the plan: the downloads, the sites and the installs, made into jobs
// once from the plan's actions. Without DownloadAhead every download ends before the sites open
// and the first installer starts; with it the sites open first and each installer starts as
// soon as its own file is verified while the next files download. Discarding the stages deletes
// the downloads registered for deletion.
#pragma once

#include "download/DownloadList.h"
#include "install/PackageLauncher.h"
#include "run/Jobs.h"
#include "run/PrerequisiteRun.h"
#include "run/RunServices.h"

#include <atomic>
#include <cstdint>

namespace orvanta {

class ExtractionContext;
class InterbootStore;
class RunPlan;
class RunReport;

class InstallStage final : public InstallStages, private RebootDecision {
public:
    // The services are copied.
    InstallStage(RunPlan& plan, ExtractionContext& extraction, InterbootStore& store, const RunServices& services);

    void SetSilent(bool silent) override { silent_ = silent; }
    uint32_t Run(ProgressSink* sink, DownloadQuestions* questions) override;
    void Stop() override { stopped_ = true; }
    RebootFlags Reboot() const override;
    void ReportTo(RunReport* report) override { report_ = report; }

private:
    void MakeJobs();
    DownloadContext MakeDownloadContext(ProgressSink* sink, DownloadQuestions* questions);
    uint32_t RunDownloadStage(ProgressSink* sink, DownloadQuestions* questions);
    void RunOpenSiteStage(ProgressSink* sink);
    uint32_t RunInstallStage(ProgressSink* sink);
    uint32_t RunOverlapped(ProgressSink* sink, DownloadQuestions* questions);
    // Installs one prerequisite; 0, or 1603 when a mandatory one failed or asked for a restart.
    uint32_t Install(const InstallJob& job, ProgressSink* sink);
    std::wstring InstallStatus(const InstallJob& job) const;
    bool InstalledAfterRun(int32_t prereqIndex) override;
    void ReportDownload(size_t job, const DownloadResult& result);

    RunPlan& plan_;
    ExtractionContext& extraction_;
    // Before the launcher, which refers to them.
    const RunServices services_;
    PackageLauncher launcher_;
    // Destroyed with the stages: deletes the downloads and shortcuts registered for deletion.
    DownloadList downloads_;
    StageJobs jobs_;
    std::vector<DownloadResult> downloaded_;
    RunReport* report_ = nullptr;
    bool silent_ = false;
    std::atomic<bool> stopped_{false};
};

} // namespace orvanta
