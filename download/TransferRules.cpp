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

bool IsRevocationUnchecked(uint32_t result)
{
    return result == ERROR_INTERNET_SEC_CERT_REV_FAILED || result == ERROR_INTERNET_SEC_CERT_NO_REV;
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

HttpStatusOutcome DecideHttpStatus(uint32_t status, uint64_t length, uint64_t resumeOffset, uint32_t sendResult,
                                   const ContentRange& range)
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
        // The bytes continue the ".part" file where it ends, whether or not the length is
        // announced; a range that starts elsewhere cannot be appended.
        if (range.present && range.first != resumeOffset)
            return finish(sendResult != 0 ? sendResult : ERROR_HTTP_INVALID_SERVER_RESPONSE);
        if (range.present && range.total != 0)
            outcome.contentLength = range.total;
        else
            outcome.contentLength = length != 0 ? resumeOffset + length : 0;
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
    // The body of an error status is the server's page, never the file.
    if (status >= 400)
        return finish(DLERR_ERROR_STATUS);
    outcome.resumeOffset = 0;
    outcome.contentLength = length;
    return finish(0);
}

bool ParseSize(const std::wstring& text, uint64_t& size)
{
    // 19 digits always fit in 64 bits; no file comes near that.
    if (text.empty() || text.size() > 19)
        return false;
    uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10u + static_cast<uint64_t>(c - L'0');
    }
    size = value;
    return true;
}

ContentRange ParseContentRange(const std::wstring& text)
{
    auto trimmed = [](const std::wstring& part) {
        const size_t first = part.find_first_not_of(L' ');
        if (first == std::wstring::npos)
            return std::wstring();
        return part.substr(first, part.find_last_not_of(L' ') - first + 1);
    };
    ContentRange range;
    const std::wstring value = trimmed(text);
    if (value.compare(0, 6, L"bytes ") != 0)
        return range;
    const size_t dash = value.find(L'-', 6);
    const size_t slash = value.find(L'/', 6);
    if (dash == std::wstring::npos || slash == std::wstring::npos || slash < dash)
        return range;
    uint64_t first = 0;
    uint64_t last = 0;
    if (!ParseSize(trimmed(value.substr(6, dash - 6)), first) ||
        !ParseSize(trimmed(value.substr(dash + 1, slash - dash - 1)), last) || last < first)
        return range;
    const std::wstring total = trimmed(value.substr(slash + 1));
    uint64_t totalSize = 0;
    if (total != L"*" && (!ParseSize(total, totalSize) || totalSize <= last))
        return range;
    range.present = true;
    range.first = first;
    range.total = totalSize;
    return range;
}

uint32_t FtpReplyCode(const std::wstring& reply)
{
    const std::wstring line = LastReplyLine(reply);
    const std::wstring code = line.substr(0, line.find(L' '));
    if (code.empty() || !std::iswdigit(code[0]))
        return 0;
    return static_cast<uint32_t>(std::wcstoul(code.c_str(), nullptr, 10));
}

uint64_t FtpSizeFromReply(const std::wstring& reply)
{
    if (FtpReplyCode(reply) != 213)
        return 0;
    const std::wstring line = LastReplyLine(reply);
    const size_t start = line.find(L' ');
    if (start == std::wstring::npos)
        return 0;
    // The digits after the code; what follows them (a line end, a terminating 0) does not count.
    const size_t end = line.find_first_not_of(L"0123456789", start + 1);
    uint64_t size = 0;
    return ParseSize(line.substr(start + 1, end == std::wstring::npos ? end : end - start - 1), size) ? size : 0;
}

} // namespace orvanta
