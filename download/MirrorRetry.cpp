// Opening one of the mirrors: the retry policy over the URL list and the dispatch to the source
// of its scheme.
#include "download/CredentialStore.h"
#include "download/FtpSource.h"
#include "download/HttpSource.h"
#include "download/ShareSource.h"
#include "download/InternetDownloader.h"
#include "download/TransferRules.h"
#include "download/UrlParts.h"

#include <algorithm>

namespace orvanta {

uint32_t InternetDownloader::OpenWithRetries(uint64_t& resumeOffset, uint64_t& contentLength)
{
    const auto urlCount = static_cast<int32_t>(urls_.size());
    if (urlCount < 1)
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    int32_t attemptsLeft = std::max(kRetryCount, urlCount - 1);
    if (credentials_ != nullptr)
        credentials_->ResetAttempt();

    size_t index = 0;
    for (;;) {
        uint64_t offset = resumeOffset;
        uint64_t length = 0;
        const uint32_t result = OpenUrl(urls_[index], L"GET", offset, length);
        if (result == 0) {
            servedIndex_ = static_cast<int>(index);
            resumeOffset = offset;
            contentLength = length;
            return 0;
        }
        if (!RetryGoesOn(result, urls_.size()) || attemptsLeft <= 0)
            return result;
        // A cancel between attempts ends the retries at once.
        if (IsCanceled())
            return DLERR_CANCELED;
        index = (index + 1) % urls_.size();
        --attemptsLeft;
    }
}

uint32_t InternetDownloader::OpenUrl(const std::wstring& url, const wchar_t* verb, uint64_t& resumeOffset,
                                     uint64_t& contentLength)
{
    UrlParts parts;
    const DWORD cracked = CrackUrl(url, parts);
    if (cracked != 0)
        return cracked;
    switch (parts.scheme) {
    case INTERNET_SCHEME_FTP:
        return FtpSource(Sources()).Open(url, parts.port, parts.host, parts.user, parts.password, parts.path,
                                         resumeOffset, contentLength);
    case INTERNET_SCHEME_HTTP:
    case INTERNET_SCHEME_HTTPS:
        return HttpSource(Sources(), settings_.proxy, answers_)
            .Open(url, verb, parts.port, parts.host, parts.user, parts.password, parts.path + parts.extra,
                  parts.scheme == INTERNET_SCHEME_HTTPS, resumeOffset, contentLength);
    case INTERNET_SCHEME_FILE: {
        const uint32_t result =
            ShareSource(Sources()).Open(url, parts.path, parts.user, parts.password, contentLength);
        if (result == 0) {
            sourceIsShare_ = true;
            sharePath_ = parts.path;
            resumeOffset = 0;  // share copies never resume
        }
        return result;
    }
    default:
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    }
}

} // namespace orvanta
