// The download call: validation, the session's life, the open with retries and the hand-over
// to the transfer or the share copy.
#include "download/InternetDownloader.h"

#include "download/FileDigests.h"
#include "download/ShareSource.h"
#include "download/UrlParts.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/ProgressSink.h"

#include <utility>

namespace orvanta {

InternetDownloader::InternetDownloader(ProgressSink* sink, CredentialStore* credentials,
                                       DownloadQuestions* questions, DownloadSettings settings)
    : session_(sink), sink_(sink), credentials_(credentials), questions_(questions), settings_(std::move(settings))
{
}

InternetDownloader::~InternetDownloader() = default;

uint32_t InternetDownloader::Download(const std::wstring& url, const std::wstring& target)
{
    return DownloadFromUrls(std::vector<std::wstring>{url}, target);
}

uint32_t InternetDownloader::DownloadFromUrls(const std::vector<std::wstring>& urls, const std::wstring& target)
{
    urls_ = urls;
    targetPath_ = target;
    partialPath_ = target + L".part";
    reconnectOnDrop_ = true;
    sourceIsShare_ = false;
    sharePath_.clear();
    digests_ = ContentDigests();

    const uint32_t invalid = ValidateUrls();
    if (invalid != 0) {
        Report(nullptr, invalid);
        return invalid;
    }
    const uint32_t sessionResult = session_.Open(settings_.proxy);
    if (sessionResult != 0)
        return sessionResult;
    const uint32_t result = RunDownload();
    session_.Close();
    return result;
}

uint32_t InternetDownloader::ValidateUrls()
{
    if (urls_.empty())
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    for (const std::wstring& url : urls_) {
        // Refused before WinINet sees it: under Wine a long URL with many '/' costs minutes per
        // attempt (its cookie lookup cracks every prefix of the path once per '/').
        if (url.size() > kMaxUrlLength) {
            LogLine(UrlTooLongText(url));
            return ERROR_INTERNET_INVALID_URL;
        }
        UrlParts parts;
        const DWORD cracked = CrackUrl(url, parts);
        if (cracked != 0)
            return cracked;
        switch (parts.scheme) {
        case INTERNET_SCHEME_FILE:
            reconnectOnDrop_ = false;
            break;
        case INTERNET_SCHEME_FTP:
        case INTERNET_SCHEME_HTTP:
        case INTERNET_SCHEME_HTTPS:
            break;
        default:
            return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        }
    }
    return 0;
}

uint32_t InternetDownloader::RunDownload()
{
    if (!IsAbsoluteTargetPath(targetPath_)) {
        Report(nullptr, DLERR_TARGET_NOT_ABSOLUTE);
        return DLERR_TARGET_NOT_ABSOLUTE;
    }
    uint64_t resumeOffset = ExistingPartialSize();
    uint64_t contentLength = 0;
    uint32_t result = OpenWithFreshStart(resumeOffset, contentLength);
    if (IsCanceled())
        result = DLERR_CANCELED;
    if (result != 0) {
        if (result != DLERR_NOT_MODIFIED && result != DLERR_CANCELED)
            ReportForTarget(result);
        return result;
    }
    if (settings_.expectedSize != 0 && contentLength != 0 && contentLength != settings_.expectedSize) {
        ReportForTarget(DLERR_SIZE_MISMATCH);
        return DLERR_SIZE_MISMATCH;
    }
    if (sourceIsShare_)
        return CopyFromShare(sharePath_, targetPath_);
    return TransferToFile(resumeOffset, contentLength);
}

uint64_t InternetDownloader::ExistingPartialSize() const
{
    UniqueFile file(::CreateFileW(MakeLongPath(partialPath_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

uint32_t InternetDownloader::OpenWithFreshStart(uint64_t& resumeOffset, uint64_t& contentLength)
{
    const uint32_t result = OpenWithRetries(resumeOffset, contentLength);
    if (result != DLERR_PARTIAL_TOO_LONG || IsCanceled())
        return result;
    // A ".part" file as long as the remote file, or longer, can never be continued: left in
    // place it would fail every later run. It is stale; the file starts again from nothing.
    ::DeleteFileW(MakeLongPath(partialPath_).c_str());
    resumeOffset = 0;
    contentLength = 0;
    return OpenWithRetries(resumeOffset, contentLength);
}

uint32_t InternetDownloader::CopyFromShare(const std::wstring& source, const std::wstring& target)
{
    partialPath_ = target + L".part";
    const DWORD folderResult = CreateFolderTree(target, false);
    if (folderResult != 0) {
        Report(nullptr, folderResult);
        return folderResult;
    }
    const DWORD copied = ShareSource::Copy(source, partialPath_, target, sink_);
    if (copied != 0) {
        if (IsCanceled())
            return DLERR_CANCELED;
        ReportForTarget(copied);
        return copied;
    }
    if (settings_.wantMd5 || settings_.wantSha256 || settings_.wantPeImage) {
        // CopyFileExW never hands the bytes over on their way: the copy is read once.
        const DWORD hashError = ComputeFileDigests(partialPath_, settings_.wantMd5, settings_.wantSha256, digests_,
                                                   settings_.wantPeImage);
        if (hashError != 0) {
            ReportForTarget(hashError);
            return hashError;
        }
    }
    return FinishPartialFile();
}

bool InternetDownloader::IsCanceled() const
{
    return sink_ != nullptr && sink_->IsCanceled();
}

void InternetDownloader::Report(const wchar_t* text, uint32_t code)
{
    if (sink_ != nullptr)
        sink_->ReportError(text, code);
}

void InternetDownloader::ReportForTarget(uint32_t code)
{
    const std::wstring name = GetFileNamePart(targetPath_);
    Report(name.c_str(), code);
}

} // namespace orvanta
