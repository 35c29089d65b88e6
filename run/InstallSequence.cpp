#include "config/Config.h"
#include "install/InterbootStore.h"
#include "run/PrerequisiteRun.h"
#include "platform/Logger.h"
#include "platform/Text.h"

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

void RunStages(InstallStages& stages)
{
    stages.Prepare();
    stages.RunDownloadStage(false);
    stages.RunOpenSiteStage(false);
    stages.RunInstallStage(false);
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

InstallOutcome InstallPrerequisites(ChainerConfig& config, ExtractionContext& extraction, PrerequisiteRun& run)
{
    InterbootStore store(config);
    InstallOutcome outcome;
    std::unique_ptr<InstallStages> stages;

    if (!config.prerequisites.empty()) {
        run.SearchAll(config);
        if (!SomethingToInstall(config)) {
            LogLine(L"No prerequisite must be installed.");
        } else {
            stages = run.BuildStages(config, extraction, store);
            const bool silent = IsSilent(config);
            const bool basic = !silent && Contains(config.general.Options, L"b");
            if (stages && (silent || basic)) {
                LogLine(silent ? L"Starting installing prerequisites in silent mode."
                               : L"Starting installing prerequisites in basic UI mode.");
                stages->SetSilent(silent);
                RunStages(*stages);
                outcome.result = ResultAfterStages(config, run, *stages);

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

    stages.reset();  // discarding the stages deletes the downloads registered for deletion
    store.CopyIntoConfig();
    if (store.DeleteAtEnd())
        store.DeleteKey();
    return outcome;
}

} // namespace orvanta
