#include "download/DownloadStage.h"

#include "config/Config.h"
#include "download/DownloadList.h"
#include "download/DownloadTargets.h"
#include "download/DownloadVerification.h"
#include "download/InternetDownloader.h"
#include "download/SiteOpener.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/SystemError.h"
#include "platform/Text.h"
#include "platform/ProgressSink.h"
#include "platform/Resources.h"

#include <vector>

namespace orvanta {
namespace {

const uint32_t kInstallFailure = 1603;
const uint32_t kStageStep = 8;
const int kDownloadStageText = 1;
const int kOpenSiteStageText = 3;
const int kSiteOpenedMessage = 5;

void CollectItems(ChainerConfig& config, DownloadList& downloads)
{
    downloads.items.clear();
    for (size_t index = 0; index < config.prerequisites.size(); ++index) {
        if (EffectiveDecision(config, index) != Download)
            continue;
        const PrereqInfo& prereq = config.prerequisites[index];
        DownloadItem item;
        item.url = prereq.source;
        item.expectedSize = static_cast<uint32_t>(prereq.ExactSize);
        item.prereqIndex = static_cast<int32_t>(index);
        item.folder = prereq.Folder;
        downloads.items.push_back(item);
    }
}

// Fetches one item into its target path; the result is left in downloads.lastResult and a
// success sets the item's status to 0.
void DownloadItemFile(DownloadList& downloads, DownloadItem& item, bool keepFiles)
{
    item.targetPath = item.fixedFile.empty() ? TargetPathFor(downloads.downloadFolder, item.url, item.folder)
                                             : downloads.downloadFolder + item.fixedFile;
    // A URL without a usable file name would make the engine write "<folder>\.part" and
    // rename it onto the folder.
    if (GetFileNamePart(item.targetPath).empty()) {
        downloads.lastResult = ERROR_INVALID_NAME;
        if (downloads.sink != nullptr)
            downloads.sink->ReportError(nullptr, ERROR_INVALID_NAME, 0);
        return;
    }

    std::vector<std::wstring> created;
    CreateFolderTree(item.targetPath, false, &created);
    if (!keepFiles) {
        for (const std::wstring& folder : created)
            downloads.RegisterFolderForDeletion(folder);
    }

    InternetDownloader downloader(downloads.sink, downloads.Credentials());
    if (item.expectedSize != 0)
        downloader.SetExpectedSize(item.expectedSize);
    downloads.lastResult = downloader.Download(item.url, item.targetPath);
    if (downloads.lastResult == 0)
        item.status = 0;
}

// Checks a finished download; false when it was rejected (the file is then deleted).
bool AcceptDownload(const PrereqInfo& prereq, const DownloadItem& item, ProgressSink* sink)
{
    if (DownloadedFileAcceptable(item.targetPath, item.expectedSize, prereq.MD5)) {
        LogLine(L"Downloaded file was accepted.");
        return true;
    }
    ::DeleteFileW(MakeLongPath(item.targetPath).c_str());
    LogLine(L"Downloaded file was rejected.(Invalid size or MD5).");
    if (sink != nullptr)
        sink->ReportError(L"", DLERR_REJECTED, 0);
    return false;
}

} // namespace

uint32_t DownloadPrerequisites(ChainerConfig& config, DownloadList& downloads, ProgressSink* sink)
{
    // Only the items start afresh: files an earlier call registered for deletion stay
    // registered, or they would be left behind at the end of the run.
    CollectItems(config, downloads);
    downloads.sink = sink;
    downloads.downloadFolder = WithTrailingBackslash(GetDownloadFolder(config));
    const bool keepFiles = KeepsDownloads(config.general.KeepFiles);

    std::wstring stageText;
    if (sink != nullptr) {
        stageText = config.GetStageText(kDownloadStageText);
        if (!downloads.items.empty())
            sink->SetRange(static_cast<uint32_t>(downloads.items.size()), 0);
    }

    for (DownloadItem& item : downloads.items) {
        PrereqInfo& prereq = config.prerequisites.at(static_cast<size_t>(item.prereqIndex));
        if (sink != nullptr) {
            if (sink->IsCanceled()) {
                LogLine(L"Download was canceled.");
                return 0;
            }
            sink->SetStatus(FillPlaceholders(stageText, prereq.name), kStageStep, 0);
        }
        LogLine(L"Starting download of:" + prereq.name);
        DownloadItemFile(downloads, item, keepFiles);

        if (item.status == 0) {
            LogLine(L"Download completed succesfully.");
            if (!keepFiles)
                downloads.RegisterFileForDeletion(item.targetPath);
            if (!AcceptDownload(prereq, item, sink))
                return kInstallFailure;
            prereq.downloadPresent = true;
            continue;
        }

        LogLine(L"Download failed. Error:" + GetSystemErrorText(downloads.lastResult));
        if (Contains(prereq.Options, L"m")) {
            if (sink != nullptr)
                sink->ReportError(prereq.name.c_str(), DLERR_MANDATORY_FAILED, 0);
            return kInstallFailure;
        }
    }
    return 0;
}

void OpenPrerequisiteSites(ChainerConfig& config, DownloadList& downloads, ProgressSink* sink)
{
    std::wstring stageText;
    std::wstring message;
    if (sink != nullptr) {
        stageText = config.GetStageText(kOpenSiteStageText);
        message = config.GetStageText(kSiteOpenedMessage);
    }
    std::vector<size_t> sites;
    for (size_t index = 0; index < config.prerequisites.size(); ++index) {
        if (EffectiveDecision(config, index) == OpenSite)
            sites.push_back(index);
    }
    if (sink != nullptr && !sites.empty())
        sink->SetRange(static_cast<uint32_t>(sites.size()), 0);

    const bool quiet = Contains(config.general.Options, L"q");
    for (const size_t index : sites) {
        const PrereqInfo& prereq = config.prerequisites[index];
        std::wstring status;
        if (sink != nullptr) {
            if (sink->IsCanceled())
                return;
            status = FillPlaceholders(stageText, prereq.name);
            sink->SetStatus(status, kStageStep, 0);
        }
        const HWND foreground = ::GetForegroundWindow();
        LogLine(L"Launching URL:" + prereq.source);
        OpenSiteUrl(prereq.source, downloads);
        if (sink != nullptr && !quiet)
            CurrentSiteShell().showMessage(foreground, message, status, MB_OK | MB_ICONINFORMATION);
    }
}

} // namespace orvanta
