// The install stages of one run over the configuration: the install stage fills a
// PackageLauncher with the prerequisites to run and runs them one by one.
#pragma once

#include "chainer/PrerequisiteRun.h"
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

    // Fills the launch list from the effective decisions; returns the extraction result.
    uint32_t PrepareInstallStage(bool silent);
    // 0 all items ran, 1602 canceled through the sink, 1603 a mandatory prerequisite failed
    // or asked for a reboot.
    uint32_t RunInstallStage(ProgressSink* sink);

    const PackageLauncher& Launcher() const { return launcher_; }
    void Stop() { stopped_ = true; }

private:
    bool InstalledAfterRun(int32_t prereqIndex) override;

    ChainerConfig& config_;
    ExtractionContext& extraction_;
    PackageLauncher launcher_;
    bool silent_ = false;
    bool stopped_ = false;
};

} // namespace orvanta
