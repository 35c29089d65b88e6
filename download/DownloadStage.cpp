#include "download/DownloadStage.h"

#include "config/Config.h"
#include "download/DownloadList.h"
#include "download/DownloadTargets.h"
#include "download/DownloadVerification.h"
#include "download/FailureWords.h"
#include "download/InternetDownloader.h"
#include "download/SiteOpener.h"
#include "download/UrlParts.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/SystemError.h"
#include "platform/Text.h"
#include "platform/ProgressSink.h"
#include "platform/Resources.h"
#include "platform/resource.h"

#include <vector>

namespace orvanta {
namespace {

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
        item.expectedSize = static_cast<uint64_t>(prereq.ExactSize);
        item.prereqIndex = static_cast<int32_t>(index);
        item.folder = prereq.Folder;
        downloads.items.push_back(item);
    }
}

void FailItem(DownloadList& downloads, uint32_t code)
{
    downloads.lastResult = code;
    if (downloads.sink != nullptr)
        downloads.sink->ReportError(nullptr, code);
}

// Where a download of `url` went: its host and port (never its login).
FailureFacts FactsFor(const std::wstring& url)
{
    FailureFacts facts;
    UrlParts parts;
    if (CrackUrl(url, parts) == 0) {
        facts.host = parts.host;
        facts.port = parts.port;
    }
    return facts;
}

// Fetches one item into its target path, computing the digests the prerequisite gives while
// the bytes arrive; the result is left in downloads.lastResult and a success sets the item's
// status to 0. `failure` tells what went wrong, in the terms of the failure's words.
void DownloadItemFile(DownloadList& downloads, DownloadItem& item, const PrereqInfo& prereq, bool keepFiles,
                      ContentDigests& digests, FailureFacts& failure)
{
    failure = FactsFor(item.url);
    item.targetPath = item.fixedFile.empty() ? TargetPathFor(downloads.downloadFolder, item.url, item.folder)
                                             : downloads.downloadFolder + item.fixedFile;
    // A URL without a usable file name would make the engine write "<folder>\.part" and
    // rename it onto the folder.
    if (GetFileNamePart(item.targetPath).empty()) {
        FailItem(downloads, ERROR_INVALID_NAME);
        return;
    }
    // A Folder with "..", a drive or a stream would put the file (and later delete it) where
    // the package never said.
    if (!TargetStaysInFolder(downloads.downloadFolder, item.targetPath)) {
        LogLine(L"Download target is outside the download folder:" + item.targetPath);
        FailItem(downloads, ERROR_BAD_PATHNAME);
        return;
    }

    std::vector<std::wstring> created;
    CreateFolderTree(item.targetPath, false, &created);
    if (!keepFiles) {
        for (const std::wstring& folder : created)
            downloads.RegisterFolderForDeletion(folder);
    }

    DownloadSettings settings;
    settings.expectedSize = item.expectedSize;
    settings.wantMd5 = !prereq.MD5.empty();
    settings.wantSha256 = !prereq.SHA256.empty();
    InternetDownloader downloader(downloads.sink, downloads.Credentials(), downloads.questions, settings);
    downloads.lastResult = downloader.Download(item.url, item.targetPath);
    failure.httpStatus = downloader.GetStatusCode();
    if (downloads.lastResult == DLERR_AUTH_REQUIRED)
        failure.proxy = downloader.LoginProxy();
    if (downloads.lastResult == 0) {
        item.status = 0;
        digests = downloader.GetDigests();
    } else if (downloader.GetStatusCode() >= 400) {
        LogLine(Format(L"Server answered with HTTP status:%u", downloader.GetStatusCode()));
    }
}

// Checks a finished download against the digests computed while it arrived; false when it was
// rejected (the file is then deleted).
bool AcceptDownload(const PrereqInfo& prereq, const DownloadItem& item, const ContentDigests& digests,
                    ProgressSink* sink)
{
    ExpectedContent expected = ExpectedContentOf(prereq);
    expected.size = item.expectedSize;
    FailureFacts rejected;
    rejected.code = DLERR_REJECTED;
    rejected.detail = FailedCheck(item.targetPath, expected, digests);
    if (rejected.detail.empty()) {
        LogLine(L"Downloaded file was accepted.");
        return true;
    }
    ::DeleteFileW(MakeLongPath(item.targetPath).c_str());
    LogLine(L"Downloaded file was rejected.(Invalid size or MD5).");
    LogLine(DescribeFailure(rejected, TextFor::Log));
    if (sink != nullptr)
        sink->ReportError(DescribeFailure(rejected, TextFor::Person).c_str(), DLERR_REJECTED);
    return false;
}

} // namespace

uint32_t DownloadPrerequisites(ChainerConfig& config, DownloadList& downloads, ProgressSink* sink,
                               DownloadQuestions* questions)
{
    // Only the items start afresh: files an earlier call registered for deletion stay
    // registered, or they would be left behind at the end of the run.
    CollectItems(config, downloads);
    downloads.sink = sink;
    downloads.questions = questions;
    downloads.downloadFolder = WithTrailingBackslash(GetDownloadFolder(config));
    const bool keepFiles = KeepsDownloads(config.general.KeepFiles);

    std::wstring stageText;
    if (sink != nullptr) {
        stageText = config.GetStageText(kDownloadStageText);
        if (!downloads.items.empty())
            sink->SetRange(static_cast<uint32_t>(downloads.items.size()), StageSteps::Transfers);
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
        ContentDigests digests;
        FailureFacts failure;
        DownloadItemFile(downloads, item, prereq, keepFiles, digests, failure);

        if (item.status == 0) {
            LogLine(L"Download completed succesfully.");
            if (!keepFiles)
                downloads.RegisterFileForDeletion(item.targetPath);
            if (!AcceptDownload(prereq, item, digests, sink))
                return kInstallFailure;
            prereq.downloadPresent = true;
            continue;
        }

        // The first line is read by tools as it stands; the second says it for a person.
        LogLine(L"Download failed. Error:" + GetSystemErrorText(downloads.lastResult));
        failure.code = downloads.lastResult;
        LogLine(DescribeFailure(failure, TextFor::Log));
        const std::wstring words = DescribeFailure(failure, TextFor::Person);
        if (prereq.options.Has(PrereqOption::Mandatory)) {
            if (sink != nullptr) {
                const std::wstring mandatory =
                    FillPlaceholders(LoadStringResource(IDS_MANDATORY_DOWNLOAD_FAILED), prereq.name, words);
                sink->ReportError(mandatory.c_str(), DLERR_MANDATORY_FAILED);
            }
            return kInstallFailure;
        }
        // The engine's report named the file; the status line now says what happened to it.
        if (sink != nullptr)
            sink->ReportError(words.c_str(), downloads.lastResult);
    }
    return 0;
}

void OpenPrerequisiteSites(ChainerConfig& config, DownloadList& downloads, ProgressSink* sink,
                           const SiteShell& shell)
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
        sink->SetRange(static_cast<uint32_t>(sites.size()), StageSteps::Actions);

    const bool quiet = IsSilent(config);
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
        // A password in the URL stays out of the log.
        LogLine(L"Launching URL:" + UrlWithoutCredentials(prereq.source));
        OpenSiteUrl(prereq.source, downloads, shell);
        if (sink != nullptr && !quiet)
            shell.showMessage(foreground, FillPlaceholders(message, prereq.name), status, MB_OK | MB_ICONINFORMATION);
    }
}

} // namespace orvanta
