#include "download/TransferRules.h"

#include "download/InternetDownloader.h"

#include <cwchar>
#include <cwctype>

namespace orvanta {
namespace {

// The last line of a reply that is not empty (multi-line replies end with the final one).
std::wstring LastReplyLine(const std::wstring& reply)
{
    const size_t end = reply.find_last_not_of(L"\r\n ");
    if (end == std::wstring::npos)
        return {};
    const size_t breakBefore = reply.find_last_of(L"\r\n", end);
    const size_t start = breakBefore == std::wstring::npos ? 0 : breakBefore + 1;
    return reply.substr(start, end + 1 - start);
}

} // namespace

bool RetryGoesOn(uint32_t result, size_t urlCount)
{
    if (result == ERROR_INTERNET_CANNOT_CONNECT || result == ERROR_INTERNET_NAME_NOT_RESOLVED)
        return true;
    const bool notFound = result == DLERR_NOT_FOUND || result == ERROR_PATH_NOT_FOUND ||
                          result == ERROR_INTERNET_EXTENDED_ERROR || result == ERROR_INTERNET_ITEM_NOT_FOUND ||
                          result == ERROR_FTP_DROPPED;
    return notFound && urlCount >= 2;
}

bool IsCertificateError(uint32_t result)
{
    return result == ERROR_INTERNET_INVALID_CA || result == ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED ||
           result == ERROR_INTERNET_SEC_CERT_CN_INVALID || result == ERROR_INTERNET_SEC_CERT_DATE_INVALID;
}

bool IsDropError(uint32_t result)
{
    // Some WinINets (Wine's) pass a socket's reset or abort on as the Winsock code.
    return result == ERROR_INTERNET_TIMEOUT || result == ERROR_INTERNET_CONNECTION_ABORTED ||
           result == ERROR_INTERNET_CONNECTION_RESET || result == ERROR_INTERNET_DISCONNECTED ||
           result == WSAECONNRESET || result == WSAECONNABORTED;
}

bool IsFtpLoginError(uint32_t result)
{
    return result == ERROR_INTERNET_INCORRECT_USER_NAME || result == ERROR_INTERNET_INCORRECT_PASSWORD ||
           result == ERROR_INTERNET_LOGIN_FAILURE;
}

bool IsShareLoginError(uint32_t result)
{
    return result == ERROR_LOGON_FAILURE || result == ERROR_INVALID_PASSWORD || result == ERROR_BAD_USERNAME;
}

HttpStatusOutcome DecideHttpStatus(uint32_t status, uint32_t length, uint32_t resumeOffset, uint32_t sendResult)
{
    using Action = HttpStatusOutcome::Action;
    HttpStatusOutcome outcome;
    outcome.resumeOffset = resumeOffset;
    auto finish = [&](uint32_t result) {
        outcome.result = result;
        outcome.action = result == 0 ? Action::Succeed : Action::Fail;
        return outcome;
    };
    switch (status) {
    case 200:
        outcome.contentLength = length;
        if (length != 0 && length <= resumeOffset)
            return finish(DLERR_PARTIAL_TOO_LONG);
        outcome.resumeOffset = 0;  // the whole file comes again
        return finish(sendResult);
    case 206:
        if (length == 0) {
            outcome.resumeOffset = 0;
            outcome.contentLength = 0;
        } else {
            outcome.contentLength = resumeOffset + length;
        }
        return finish(sendResult);
    case 304:
        return finish(DLERR_NOT_MODIFIED);
    case 400:
    case 404:
    case 410:
        return finish(DLERR_NOT_FOUND);
    case 401:
    case 407:
        outcome.action = Action::Login;
        return outcome;
    case 403:
        return finish(DLERR_FORBIDDEN);
    case 416:
        // A range that starts at or past the end: the partial file already has every byte.
        if (resumeOffset != 0)
            return finish(DLERR_PARTIAL_TOO_LONG);
        break;
    default:
        break;
    }
    if (sendResult != 0)
        return finish(sendResult);
    outcome.resumeOffset = 0;
    outcome.contentLength = length;
    return finish(0);
}

uint32_t FtpReplyCode(const std::wstring& reply)
{
    const std::wstring line = LastReplyLine(reply);
    const std::wstring code = line.substr(0, line.find(L' '));
    if (code.empty() || !std::iswdigit(code[0]))
        return 0;
    return static_cast<uint32_t>(std::wcstoul(code.c_str(), nullptr, 10));
}

uint32_t FtpSizeFromReply(const std::wstring& reply)
{
    if (FtpReplyCode(reply) != 213)
        return 0;
    const std::wstring line = LastReplyLine(reply);
    const size_t space = line.find(L' ');
    if (space == std::wstring::npos)
        return 0;
    const unsigned long long size = std::wcstoull(line.c_str() + space + 1, nullptr, 10);
    return size > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(size);
}

} // namespace orvanta
