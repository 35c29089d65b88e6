#include "download/DownloadStage.h"

#include "download/DownloadList.h"
#include "download/DownloadTargets.h"
#include "download/EmbeddedSignature.h"
#include "download/FailureWords.h"
#include "download/InternetDownloader.h"
#include "download/SiteOpener.h"
#include "download/UrlParts.h"
#include "download/UrlText.h"
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

void ReportFailure(DownloadContext& context, uint32_t code)
{
    if (context.sink != nullptr)
        context.sink->ReportError(nullptr, code);
}

// Fetches the file from the first of `urls` that answers into `target`, computing the digests
// the job asks for while the bytes arrive. `failure` tells what went wrong, in the terms of the
// failure's words; `served` is the place in `urls` of the one that answered last (-1: none).
uint32_t FetchFile(const DownloadJob& job, const std::vector<std::wstring>& urls, const std::wstring& target,
                   DownloadContext& context, ContentDigests& digests, FailureFacts& failure, int& served)
{
    std::vector<std::wstring> created;
    CreateFolderTree(target, false, &created);
    if (!context.keepFiles) {
        for (const std::wstring& folder : created)
            context.downloads->RegisterFolderForDeletion(folder);
    }

    DownloadSettings settings;
    settings.expectedSize = job.expected.size;
    settings.wantMd5 = job.expected.WantsMd5();
    settings.wantSha256 = job.expected.WantsSha256();
    settings.wantPeImage = job.expected.signerGiven;
    InternetDownloader downloader(context.sink, context.downloads->Credentials(), context.questions, settings);
    const uint32_t result = downloader.DownloadFromUrls(urls, target);
    served = downloader.ServedIndex();
    failure.httpStatus = downloader.GetStatusCode();
    if (result == DLERR_AUTH_REQUIRED)
        failure.proxy = downloader.LoginProxy();
    if (result == 0)
        digests = downloader.GetDigests();
    else if (downloader.GetStatusCode() >= 400)
        LogLine(Format(L"Server answered with HTTP status:%u", downloader.GetStatusCode()));
    return result;
}

uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(MakeLongPath(path).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The key of the mirror at `index` of the job's URL list: Url, Url2, ...
std::wstring MirrorKey(int index)
{
    return index == 0 ? std::wstring(L"Url") : L"Url" + std::to_wstring(index + 1);
}

// Checks a finished download against the digests computed while it arrived and its signature;
// false when it was rejected (the file is then deleted).
bool AcceptDownload(const DownloadJob& job, const std::wstring& target, const ContentDigests& digests,
                    DownloadResult& result, ProgressSink* sink)
{
    if (job.expected.ChecksAnything())
        result.checks = CheckDownload(target, job.expected, digests);
    FailureFacts rejected;
    rejected.code = DLERR_REJECTED;
    rejected.detail = result.checks.failedKey;
    if (rejected.detail.empty()) {
        LogLine(L"Downloaded file was accepted.");
        return true;
    }
    ::DeleteFileW(MakeLongPath(target).c_str());
    result.failureLine = rejected.detail == L"Signer" ? L"Downloaded file was rejected.(Invalid signature)"
                                                      : L"Downloaded file was rejected.(Invalid size or MD5).";
    LogLine(result.failureLine);
    LogLine(DescribeFailure(rejected, TextFor::Log));
    if (sink != nullptr)
        sink->ReportError(DescribeFailure(rejected, TextFor::Person).c_str(), DLERR_REJECTED);
    return false;
}

// Fetches the job's file from its URL or the first mirror that answers, and checks it; a file
// that fails is deleted and the mirrors after the one that served it are asked in turn. True
// once a file was accepted; otherwise `result` says why not (DLERR_REJECTED: the last file failed
// its checks).
bool FetchVerified(const DownloadJob& job, const std::wstring& target, DownloadContext& context,
                   DownloadResult& result, FailureFacts& failure)
{
    std::vector<std::wstring> urls{job.url};
    urls.insert(urls.end(), job.mirrors.begin(), job.mirrors.end());
    const SignatureCheckPreparation preparation(job.expected.signerGiven);
    bool registered = false;
    for (size_t first = 0; first < urls.size();) {
        ContentDigests digests;
        int served = -1;
        result.code = FetchFile(job, std::vector<std::wstring>(urls.begin() + static_cast<ptrdiff_t>(first), urls.end()),
                                target, context, digests, failure, served);
        if (served >= 0) {
            result.mirror = static_cast<int>(first) + served;
            result.servedUrl = UrlWithoutCredentials(urls[static_cast<size_t>(result.mirror)]);
        }
        result.bytesReceived += FileSize(result.code == 0 ? target : target + L".part");
        if (result.code != 0)
            return false;
        LogLine(L"Download completed succesfully.");
        if (!job.mirrors.empty())
            LogLine(L"Downloaded from " + MirrorKey(result.mirror) + L":" + result.servedUrl);
        if (!context.keepFiles && !registered)
            context.downloads->RegisterFileForDeletion(target);
        registered = true;
        if (AcceptDownload(job, target, digests, result, context.sink)) {
            result.path = target;
            return true;
        }
        result.code = DLERR_REJECTED;
        first = static_cast<size_t>(result.mirror) + 1;
    }
    return false;
}

// The first line is read by tools as it stands; the second says it for a person.
void ReportTransferFailure(const DownloadJob& job, DownloadResult& result, FailureFacts failure, ProgressSink* sink)
{
    const uint32_t code = result.code;
    result.failureLine = L"Download failed. Error:" + GetSystemErrorText(code);
    LogLine(result.failureLine);
    failure.code = code;
    LogLine(DescribeFailure(failure, TextFor::Log));
    if (sink == nullptr)
        return;
    const std::wstring words = DescribeFailure(failure, TextFor::Person);
    if (job.mandatory) {
        const std::wstring mandatory =
            FillPlaceholders(LoadStringResource(IDS_MANDATORY_DOWNLOAD_FAILED), job.name, words);
        sink->ReportError(mandatory.c_str(), DLERR_MANDATORY_FAILED);
    } else {
        // The engine's report named the file; the status line now says what happened to it.
        sink->ReportError(words.c_str(), code);
    }
}

} // namespace

DownloadResult RunDownloadJob(const DownloadJob& job, DownloadContext& context)
{
    LogLine(L"Starting download of:" + job.name);
    DownloadResult result;
    const std::wstring target = TargetPathFor(context.downloadFolder, job.url, job.folder);
    FailureFacts failure = FactsFor(job.url);
    if (GetFileNamePart(target).empty()) {
        // A URL without a usable file name would make the engine write "<folder>\.part" and
        // rename it onto the folder.
        result.code = ERROR_INVALID_NAME;
        ReportFailure(context, result.code);
    } else if (!TargetStaysInFolder(context.downloadFolder, target)) {
        // A Folder with "..", a drive or a stream would put the file (and later delete it) where
        // the package never said.
        LogLine(L"Download target is outside the download folder:" + target);
        result.code = ERROR_BAD_PATHNAME;
        ReportFailure(context, result.code);
    } else if (FetchVerified(job, target, context, result, failure)) {
        return result;
    }
    if (result.code != DLERR_REJECTED)
        ReportTransferFailure(job, result, failure, context.sink);
    return result;
}

bool EndsStage(const DownloadJob& job, const DownloadResult& result)
{
    return result.code == DLERR_REJECTED || (!result.Accepted() && job.mandatory);
}

uint32_t RunDownloadJobs(const std::vector<DownloadJob>& jobs, DownloadContext& context,
                         const DownloadFinished& finished)
{
    ProgressSink* sink = context.sink;
    if (sink != nullptr && !jobs.empty())
        sink->SetRange(static_cast<uint32_t>(jobs.size()), StageSteps::Transfers);
    for (size_t index = 0; index < jobs.size(); ++index) {
        if (context.stop != nullptr && *context.stop)
            return 0;
        if (sink != nullptr) {
            if (sink->IsCanceled()) {
                LogLine(L"Download was canceled.");
                return 0;
            }
            sink->SetStatus(FillPlaceholders(context.stageText, jobs[index].name), kStageStep, 0);
        }
        const DownloadResult result = RunDownloadJob(jobs[index], context);
        finished(index, result);
        if (EndsStage(jobs[index], result))
            return kInstallFailure;
    }
    return 0;
}

void OpenPrerequisiteSites(const std::vector<SiteJob>& sites, DownloadList& downloads, ProgressSink* sink,
                           const SiteShell& shell, const std::wstring& stageText, const std::wstring& message,
                           bool showMessage)
{
    if (sink != nullptr && !sites.empty())
        sink->SetRange(static_cast<uint32_t>(sites.size()), StageSteps::Actions);
    for (const SiteJob& site : sites) {
        std::wstring status;
        if (sink != nullptr) {
            if (sink->IsCanceled())
                return;
            status = FillPlaceholders(stageText, site.name);
            sink->SetStatus(status, kStageStep, 0);
        }
        const HWND foreground = ::GetForegroundWindow();
        // A password in the URL stays out of the log.
        LogLine(L"Launching URL:" + UrlWithoutCredentials(site.url));
        OpenSiteUrl(site.url, downloads, shell);
        if (sink != nullptr && showMessage)
            shell.showMessage(foreground, FillPlaceholders(message, site.name), status, MB_OK | MB_ICONINFORMATION);
    }
}

} // namespace orvanta
