// The install stages of one run over the configuration: the download and open-site stages,
// then the install stage, which fills a PackageLauncher with the prerequisites to run and runs
// them one by one. Discarding the stages deletes the downloads registered for deletion.
#pragma once

#include "run/PrerequisiteRun.h"
#include "download/DownloadList.h"
#include "install/PackageLauncher.h"

#include <cstdint>

namespace orvanta {

struct ChainerConfig;
class ExtractionContext;
class InterbootStore;
class ProgressSink;

class InstallStage final : public InstallStages, private RebootDecision {
public:
    InstallStage(ChainerConfig& config, ExtractionContext& extraction, InterbootStore& store);

    void SetSilent(bool silent) override { silent_ = silent; }
    void Prepare() override;
    void RunDownloadStage(bool flag) override;
    void RunOpenSiteStage(bool flag) override;
    void RunInstallStage(bool flag) override;
    RebootFlags Reboot() const override;

    // The download stage: 0, or 1603 when a download was rejected or a mandatory one failed.
    uint32_t RunDownloadStage(ProgressSink* sink);
    void RunOpenSiteStage(ProgressSink* sink);
    // Fills the launch list from the effective decisions; returns the extraction result.
    uint32_t PrepareInstallStage(bool silent);
    // 0 all items ran, 1602 canceled through the sink, 1603 a mandatory prerequisite failed
    // or asked for a reboot.
    uint32_t RunInstallStage(ProgressSink* sink);

    const PackageLauncher& Launcher() const { return launcher_; }
    const DownloadList& Downloads() const { return downloads_; }
    void Stop() { stopped_ = true; }

private:
    bool InstalledAfterRun(int32_t prereqIndex) override;

    ChainerConfig& config_;
    ExtractionContext& extraction_;
    PackageLauncher launcher_;
    // Destroyed with the stages: deletes the downloads and shortcuts registered for deletion.
    DownloadList downloads_;
    bool silent_ = false;
    bool stopped_ = false;
};

} // namespace orvanta
