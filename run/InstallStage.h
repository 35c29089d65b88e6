// The install stages of one run over the configuration: the download and open-site stages,
// then the install stage, which fills a PackageLauncher with the prerequisites to run and runs
// them one by one. Discarding the stages deletes the downloads registered for deletion.
#pragma once

#include "run/PrerequisiteRun.h"
#include "download/DownloadList.h"
#include "install/PackageLauncher.h"
#include "run/RunServices.h"

#include <atomic>
#include <cstdint>

namespace orvanta {

struct ChainerConfig;
class ExtractionContext;
class DownloadQuestions;
class InterbootStore;
class ProgressSink;

class InstallStage final : public InstallStages, private RebootDecision {
public:
    // The services are copied.
    InstallStage(ChainerConfig& config, ExtractionContext& extraction, InterbootStore& store,
                 const RunServices& services);

    void SetSilent(bool silent) override { silent_ = silent; }
    uint32_t RunDownloadStage(ProgressSink* sink, DownloadQuestions* questions) override;
    void RunOpenSiteStage(ProgressSink* sink) override;
    // A restart is started without asking only in a silent run.
    uint32_t RunInstallStage(ProgressSink* sink) override;
    void Stop() override { stopped_ = true; }
    RebootFlags Reboot() const override;

    const PackageLauncher& Launcher() const { return launcher_; }
    const DownloadList& Downloads() const { return downloads_; }

private:
    // Fills the launch list from the effective decisions, once the downloads are done.
    void FillLaunchList();
    bool InstalledAfterRun(int32_t prereqIndex) override;

    ChainerConfig& config_;
    ExtractionContext& extraction_;
    // Before the launcher, which refers to them.
    const RunServices services_;
    PackageLauncher launcher_;
    // Destroyed with the stages: deletes the downloads and shortcuts registered for deletion.
    DownloadList downloads_;
    bool silent_ = false;
    std::atomic<bool> stopped_{false};
};

} // namespace orvanta
