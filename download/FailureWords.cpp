#include "download/FailureWords.h"

#include "download/DownloadStage.h"
#include "download/InternetDownloader.h"
#include "download/WinInetApi.h"
#include "platform/Resources.h"
#include "platform/SystemError.h"
#include "platform/Strings.h"
#include "platform/Text.h"
#include "platform/resource.h"

namespace orvanta {
namespace {

const uint32_t kFirstWinInetError = 12000;
const uint32_t kLastWinInetError = 12999;

std::wstring Where(const FailureFacts& facts)
{
    if (facts.port == 0)
        return facts.host;
    return facts.host + L":" + DecimalText(facts.port);
}

// System and WinINet texts end with a line break and a full stop; the words put their own.
std::wstring WithoutFinalStop(std::wstring text)
{
    text.erase(text.find_last_not_of(L"\r\n .") + 1);
    return text;
}

std::wstring At(const FailureFacts& facts, const std::wstring& text, TextFor reader)
{
    if (facts.host.empty())
        return WithoutFinalStop(text) + L".";
    return FillPlaceholders(LoadStringResource(IDS_FAILURE_AT, reader), WithoutFinalStop(text), Where(facts));
}

std::wstring StatusWords(const FailureFacts& facts, TextFor reader)
{
    const std::wstring reason = HttpReason(facts.httpStatus);
    std::wstring status = DecimalText(facts.httpStatus);
    if (!reason.empty())
        status += L" " + reason;
    return FillPlaceholders(LoadStringResource(IDS_HTTP_STATUS_FROM, reader), status, Where(facts));
}

std::wstring WinInetWords(const FailureFacts& facts, TextFor reader)
{
    std::wstring text = wininet::MessageText(facts.code);
    if (text.empty())
        text = FillPlaceholders(LoadStringResource(IDS_NETWORK_ERROR, reader), DecimalText(facts.code));
    return At(facts, text, reader);
}

} // namespace

std::wstring HttpReason(uint32_t status)
{
    static const struct {
        uint32_t status;
        const wchar_t* reason;
    } kReasons[] = {
        {400, L"Bad Request"}, {401, L"Unauthorized"}, {402, L"Payment Required"}, {403, L"Forbidden"},
        {404, L"Not Found"}, {405, L"Method Not Allowed"}, {406, L"Not Acceptable"},
        {407, L"Proxy Authentication Required"}, {408, L"Request Timeout"}, {409, L"Conflict"}, {410, L"Gone"},
        {411, L"Length Required"}, {412, L"Precondition Failed"}, {413, L"Payload Too Large"},
        {414, L"URI Too Long"}, {415, L"Unsupported Media Type"}, {416, L"Range Not Satisfiable"},
        {429, L"Too Many Requests"}, {451, L"Unavailable For Legal Reasons"}, {500, L"Internal Server Error"},
        {501, L"Not Implemented"}, {502, L"Bad Gateway"}, {503, L"Service Unavailable"},
        {504, L"Gateway Timeout"}, {505, L"HTTP Version Not Supported"},
    };
    for (const auto& entry : kReasons) {
        if (entry.status == status)
            return entry.reason;
    }
    return {};
}

std::wstring DescribeFailure(const FailureFacts& facts, TextFor reader)
{
    switch (facts.code) {
    case DLERR_AUTH_REQUIRED:
        return facts.proxy.empty() ? FillPlaceholders(LoadStringResource(IDS_LOGIN_SERVER, reader), Where(facts))
                                   : FillPlaceholders(LoadStringResource(IDS_LOGIN_PROXY, reader), facts.proxy);
    case DLERR_REJECTED:
        return FillPlaceholders(LoadStringResource(IDS_FILE_REJECTED, reader), facts.detail);
    case DLERR_CANCELED:
        return LoadStringResource(IDS_DOWNLOAD_CANCELED, reader);
    case DLERR_SIZE_MISMATCH:
        return FillPlaceholders(LoadStringResource(IDS_SIZE_MISMATCH, reader), Where(facts));
    case DLERR_INCOMPLETE:
        return FillPlaceholders(LoadStringResource(IDS_INCOMPLETE, reader), Where(facts));
    case DLERR_NOT_FOUND:
    case DLERR_FORBIDDEN:
    case DLERR_ERROR_STATUS:
        if (facts.httpStatus >= 400)
            return StatusWords(facts, reader);
        break;
    default:
        break;
    }
    if (facts.code >= kFirstWinInetError && facts.code <= kLastWinInetError)
        return WinInetWords(facts, reader);
    if ((facts.code & 0xF0000000u) == 0xE0000000u)
        return At(facts, Format(L"Download error 0x%08X", facts.code), reader);
    return At(facts, GetSystemErrorText(facts.code), reader);
}

} // namespace orvanta
