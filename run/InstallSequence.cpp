#include "config/Config.h"
#include "install/InterbootStore.h"
#include "run/PrerequisiteRun.h"
#include "run/StagesWorker.h"
#include "run/UserInterface.h"
#include "platform/FaultTranslation.h"
#include "platform/Logger.h"
#include "platform/ProcessLaunch.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"
#include "platform/resource.h"

namespace orvanta {
namespace {

bool SomethingToInstall(const ChainerConfig& config)
{
    for (const PrereqInfo& prereq : config.prerequisites) {
        if (prereq.decision == InstallFromPackage || prereq.decision == Download || prereq.decision == OpenSite)
            return true;
    }
    return false;
}

const wchar_t* TrueFalse(bool value)
{
    return value ? L"true" : L"false";
}

struct SearchWork {
    PrerequisiteRun& run;
    ChainerConfig& config;
    std::exception_ptr failure;  // what escaped the search, for the waiting thread
};

DWORD WINAPI SearchThread(void* parameter)
{
    auto* work = static_cast<SearchWork*>(parameter);
    work->failure = RunContained([work] { work->run.SearchAll(work->config); });
    return 0;
}

// With an interface the search runs on a worker thread while this thread keeps the status
// window alive; the configuration is touched by one thread at a time all the same.
void SearchAll(ChainerConfig& config, PrerequisiteRun& run, UserInterface* ui)
{
    if (ui == nullptr) {
        run.SearchAll(config);
        return;
    }
    ui->ShowStatus(LoadStringResource(IDS_SEARCHING));
    SearchWork work{run, config, nullptr};
    const UniqueHandle thread(::CreateThread(nullptr, 0, SearchThread, &work, 0, nullptr));
    if (!thread) {
        run.SearchAll(config);
        return;
    }
    WaitWithMessagePump(thread.Get());
    if (work.failure)
        std::rethrow_exception(work.failure);
}

void RunStages(InstallStages& stages)
{
    stages.RunDownloadStage(nullptr, nullptr);
    stages.RunOpenSiteStage(nullptr);
    stages.RunInstallStage(nullptr);
}

// Silent and basic runs end the same way once the stages are done: re-check, then the
// mandatory check, unless a reboot is required first.
int32_t ResultAfterStages(ChainerConfig& config, PrerequisiteRun& run, const InstallStages& stages)
{
    if (stages.Reboot().required)
        return 0;
    run.Recheck(config);
    return run.MandatoryCheck(config) ? 0 : 1;
}

// The progress dialog's own check decided 1 or 7. A dialog that was canceled, or that could not
// be shown, ends the stages early: the checks run now that the worker has stopped, so a
// mandatory prerequisite that is still missing fails the run.
int32_t ResultOfDialog(int32_t end, ChainerConfig& config, PrerequisiteRun& run, const InstallStages& stages)
{
    if (end == ProgressDone)
        return 0;
    if (end == ProgressMandatoryMissing)
        return 1;
    return ResultAfterStages(config, run, stages);
}

int32_t RunInProgressDialog(ChainerConfig& config, PrerequisiteRun& run, InstallStages& stages, UserInterface* ui)
{
    int32_t end = ProgressNotShown;
    if (ui != nullptr) {
        ui->CloseStatus();
        StagesWorker worker(config, run, stages);
        end = ui->RunProgressDialog(worker);
    }
    return ResultOfDialog(end, config, run, stages);
}

void LogRebootSummary(const RebootFlags& reboot)
{
    if (!LogEnabled)
        return;
    Logger::Instance().Log(std::wstring(L"After running prerequisites we have:") + L"  Reboot was required=" +
                           TrueFalse(reboot.required));
    if (reboot.required)
        Logger::Instance().Log(std::wstring(L"  Reboot was refused=") + TrueFalse(reboot.refused));
    if (reboot.required && !reboot.refused)
        Logger::Instance().Log(std::wstring(L"  Reboot in Progress=") + TrueFalse(reboot.inProgress));
}

} // namespace

InstallOutcome InstallPrerequisites(ChainerConfig& config, ExtractionContext& extraction, PrerequisiteRun& run,
                                    UserInterface* ui)
{
    InterbootStore store;
    InstallOutcome outcome;
    std::unique_ptr<InstallStages> stages;

    if (!config.prerequisites.empty()) {
        SearchAll(config, run, ui);
        if (!SomethingToInstall(config)) {
            LogLine(L"No prerequisite must be installed.");
        } else {
            stages = run.BuildStages(config, extraction, store);
            const bool silent = IsSilent(config);
            const bool basic = ShowsBasicInterface(config);
            if (stages && (silent || basic)) {
                LogLine(silent ? L"Starting installing prerequisites in silent mode."
                               : L"Starting installing prerequisites in basic UI mode.");
                stages->SetSilent(silent);
                if (silent) {
                    RunStages(*stages);
                    outcome.result = ResultAfterStages(config, run, *stages);
                } else {
                    outcome.result = RunInProgressDialog(config, run, *stages, ui);
                }

                const RebootFlags reboot = stages->Reboot();
                LogRebootSummary(reboot);
                if ((reboot.required && !reboot.refused) || reboot.inProgress) {
                    outcome.result = -1;
                    outcome.rebootPending = true;
                    store.KeepAfterRun();
                }
            }
        }
    }
    if (ui != nullptr)
        ui->CloseStatus();

    stages.reset();  // discarding the stages deletes the downloads registered for deletion
    if (store.DeleteAtEnd())
        store.DeleteKey();
    return outcome;
}

} // namespace orvanta
