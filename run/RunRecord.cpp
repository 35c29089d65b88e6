#include "run/RunRecord.h"

namespace orvanta {
namespace {

PrereqAction SkipAction(SkipReason reason)
{
    switch (reason) {
    case SkipReason::Os: return PrereqAction::SkippedByOs;
    case SkipReason::Language: return PrereqAction::SkippedByLanguage;
    case SkipReason::Processor: return PrereqAction::SkippedByProcessor;
    default: return PrereqAction::None;
    }
}

PrereqAction InstalledAction(PlannedAction planned)
{
    switch (planned) {
    case PlannedAction::Download: return PrereqAction::DownloadedAndInstalled;
    case PlannedAction::InstallDownloaded: return PrereqAction::InstalledFromDownload;
    default: return PrereqAction::InstalledFromPackage;
    }
}

// The system's texts end with a line break, which the log line has and a reader does not need.
std::wstring WithoutTrailingBreak(std::wstring text)
{
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

} // namespace

RunRecord::RunRecord()
{
    ::GetSystemTime(&start_);
}

void RunRecord::Configure(const std::wstring& resultFile, ExitCodeStyle style)
{
    const CriticalSectionLock lock(lock_);
    resultFile_ = resultFile;
    style_ = style;
}

void RunRecord::Searched(const RunPlan& plan)
{
    const CriticalSectionLock lock(lock_);
    prerequisites_.assign(plan.Size(), PrereqRecord());
    skipped_.assign(plan.Size(), SkipReason::None);
    sitesOpened_.assign(plan.Size(), false);
    for (size_t index = 0; index < plan.Size(); ++index) {
        PrereqRecord& record = prerequisites_[index];
        record.name = plan.Prereq(index).name;
        record.firstDecision = plan.Entry(index).decision;
        record.finalDecision = record.firstDecision;
        // The first decision alone can say "not selected": the re-check deselects what it finds.
        if (NeedsInstallOrDownloaded(record.firstDecision) && !plan.Entry(index).selected)
            record.action = PrereqAction::NotSelected;
        skipped_[index] = plan.Entry(index).skipped;
    }
}

void RunRecord::Finished(const RunPlan& plan, const RebootFlags& reboot)
{
    const CriticalSectionLock lock(lock_);
    reboot_ = reboot;
    for (size_t index = 0; index < plan.Size() && index < prerequisites_.size(); ++index)
        prerequisites_[index].finalDecision = plan.Entry(index).decision;
}

void RunRecord::Planned(const std::vector<PlannedAction>& actions)
{
    const CriticalSectionLock lock(lock_);
    planned_ = actions;
}

PrereqRecord* RunRecord::At(size_t prereq)
{
    return prereq < prerequisites_.size() ? &prerequisites_[prereq] : nullptr;
}

void RunRecord::Downloaded(size_t prereq, const DownloadResult& result)
{
    const CriticalSectionLock lock(lock_);
    if (PrereqRecord* record = At(prereq)) {
        record->downloadTried = true;
        record->download = result;
        if (!result.Accepted() && result.code != DownloadResult::kNotDownloaded)
            record->error = WithoutTrailingBreak(result.failureLine);
    }
}

void RunRecord::SiteOpened(size_t prereq)
{
    const CriticalSectionLock lock(lock_);
    if (prereq < sitesOpened_.size())
        sitesOpened_[prereq] = true;
}

void RunRecord::Installed(size_t prereq, const LaunchItem& item, uint64_t durationMs)
{
    const CriticalSectionLock lock(lock_);
    if (PrereqRecord* record = At(prereq)) {
        record->installerRan = true;
        record->returnCode = item.returnCode;
        record->durationMs = durationMs;
        if (!item.started)
            record->error = WithoutTrailingBreak(item.failureLine);
    }
}

PrereqAction RunRecord::ActionOf(size_t prereq) const
{
    const PrereqRecord& record = prerequisites_[prereq];
    const PlannedAction planned = prereq < planned_.size() ? planned_[prereq] : PlannedAction::None;
    if (record.installerRan)
        return InstalledAction(planned);
    if (record.downloadTried && !record.download.Accepted() &&
        record.download.code != DownloadResult::kNotDownloaded)
        return PrereqAction::DownloadFailed;
    if (sitesOpened_[prereq])
        return PrereqAction::SiteOpened;
    if (planned != PlannedAction::None)
        return PrereqAction::NotStarted;
    if (skipped_[prereq] != SkipReason::None)
        return SkipAction(skipped_[prereq]);
    return record.action;
}

bool RunRecord::Summarize(RunEnd end, RunSummary& summary, DWORD waitMs) const
{
    const BoundedCriticalSectionLock lock(lock_, waitMs);
    if (!lock.Held())
        return false;
    summary.resultFile = resultFile_;
    summary.start = start_;
    ::GetSystemTime(&summary.end);
    summary.runEnd = end;
    summary.style = style_;
    summary.reboot = reboot_;
    summary.prerequisites = prerequisites_;
    for (size_t index = 0; index < summary.prerequisites.size(); ++index)
        summary.prerequisites[index].action = ActionOf(index);
    return true;
}

} // namespace orvanta
