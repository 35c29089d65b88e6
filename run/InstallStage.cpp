#include "run/InstallStage.h"

#include "config/Config.h"
#include "config/FolderProperties.h"
#include "run/Pipeline.h"
#include "download/DownloadStage.h"
#include "download/DownloadTargets.h"
#include "install/ExtractionContext.h"
#include "platform/Text.h"
#include "platform/ProgressSink.h"
#include "platform/Resources.h"

namespace orvanta {
namespace {

const uint32_t kUserExit = 1602;
const uint32_t kInstallFailure = 1603;
const uint32_t kMandatoryFailed = 0xE0000024;
const uint32_t kMandatoryNeedsReboot = 0xE0000025;

bool IsMandatory(const PrereqInfo& prereq)
{
    return Contains(prereq.Options, L"m");
}

// Where a downloaded prerequisite lies: the local file of a file: URL, else the download target.
std::wstring DownloadedFilePath(ChainerConfig& config, const PrereqInfo& prereq)
{
    const std::wstring local = LocalPathOfFileUrl(prereq.source);
    if (!local.empty())
        return local;
    return TargetPathFor(GetDownloadFolder(config), prereq.source, prereq.Folder);
}

} // namespace

InstallStage::InstallStage(ChainerConfig& config, ExtractionContext& extraction, InterbootStore& store)
    : config_(config), extraction_(extraction), launcher_(&store, this), downloads_(&ProcessCredentialStore())
{
}

void InstallStage::Prepare()
{
    PrepareInstallStage(silent_);
}

uint32_t InstallStage::RunDownloadStage(ProgressSink* sink, DownloadQuestions* questions)
{
    return DownloadPrerequisites(config_, downloads_, sink, questions);
}

void InstallStage::RunOpenSiteStage(ProgressSink* sink)
{
    OpenPrerequisiteSites(config_, downloads_, sink);
}

RebootFlags InstallStage::Reboot() const
{
    RebootFlags flags;
    flags.required = launcher_.RebootNeeded() || launcher_.Rebooting();
    flags.refused = launcher_.RebootRefused();
    flags.inProgress = launcher_.RestartStarted();
    return flags;
}

uint32_t InstallStage::PrepareInstallStage(bool)
{
    launcher_.Clear();
    std::vector<int32_t> entriesToExtract;
    for (size_t index = 0; index < config_.prerequisites.size(); ++index) {
        const PrereqDecision decision = EffectiveDecision(config_, index);
        const PrereqInfo& prereq = config_.prerequisites[index];
        const RebootMode rebootMode = RebootModeFromOptions(prereq.Options);
        if (decision == InstallFromPackage) {
            int32_t entryId = -1;
            const std::wstring path = extraction_.GetPackageFilePath(prereq.source, entryId);
            if (entryId >= 0)
                entriesToExtract.push_back(entryId);
            launcher_.AddLaunchItem(path, prereq.CommandLine, prereq.name, rebootMode, static_cast<int32_t>(index),
                                    prereq.RetValPropName);
        } else if (decision == AlreadyDownloaded) {
            launcher_.AddLaunchItem(DownloadedFilePath(config_, prereq), ExpandReferences(prereq.CommandLine, false),
                                    prereq.name, rebootMode, static_cast<int32_t>(index), prereq.RetValPropName);
        }
    }
    return extraction_.ExtractFiles(entriesToExtract, nullptr);
}

uint32_t InstallStage::RunInstallStage(ProgressSink* sink)
{
    PrepareInstallStage(IsSilent(config_));
    const std::vector<LaunchItem>& items = launcher_.Items();
    const std::wstring stageText = sink != nullptr ? config_.GetStageText(2) : std::wstring();
    if (sink != nullptr)
        sink->SetRange(static_cast<uint32_t>(items.size()), StageSteps::Actions);

    for (size_t index = 0; index < items.size() && !stopped_; ++index) {
        if (sink != nullptr) {
            if (sink->IsCanceled())
                return kUserExit;
            sink->SetStatus(FillPlaceholders(stageText, items[index].name), 8, 0);
        }
        // Only a silent run restarts the machine without asking: a basic-interface run asks.
        const int result = launcher_.RunLaunchItem(index, silent_);
        if (result == PackageLauncher::RunDone)
            continue;
        const PrereqInfo& prereq = config_.prerequisites.at(static_cast<size_t>(items[index].prereqIndex));
        if (!IsMandatory(prereq))
            continue;
        if (sink != nullptr)
            sink->ReportError(items[index].name.c_str(),
                              result == PackageLauncher::RunFailed ? kMandatoryFailed : kMandatoryNeedsReboot);
        return kInstallFailure;
    }
    return 0;
}

bool InstallStage::InstalledAfterRun(int32_t prereqIndex)
{
    const size_t index = static_cast<size_t>(prereqIndex);
    SearchPrerequisite(config_, index, true);
    PrereqInfo& prereq = config_.prerequisites.at(index);
    if (prereq.decision == Download || prereq.decision == AlreadyDownloaded) {
        // The installer has run; the launch list was made before, so nothing starts this file.
        prereq.downloadPresent = DownloadPresent(config_, prereq, PresenceCheck::AfterInstall);
        if (prereq.decision == Download && prereq.downloadPresent)
            prereq.decision = AlreadyDownloaded;
    }
    return prereq.decision == AcceptableFound;
}

} // namespace orvanta
