// The progress dialog's worker in a basic-interface run: the download, open-site and install
// stages with the dialog's sink, then the check that decides how the dialog ends.
#pragma once

#include "run/PrerequisiteRun.h"
#include "run/UserInterface.h"

namespace orvanta {

class RunPlan;

class StagesWorker final : public StageWorker {
public:
    StagesWorker(RunPlan& plan, PrerequisiteRun& run, InstallStages& stages)
        : plan_(plan), run_(run), stages_(stages)
    {
    }

    // Stops after a stage that failed or when the sink says canceled.
    void Run(ProgressSink& sink, DownloadQuestions& questions) override;
    // 2 while a restart is under way; else the re-check and the mandatory check: 1 passed, 7 not.
    int32_t FinalResult() override;
    void EndSession() override { stages_.Stop(); }

private:
    RunPlan& plan_;
    PrerequisiteRun& run_;
    InstallStages& stages_;
};

} // namespace orvanta
