// Opening an HTTP or HTTPS download: connection, request, headers, the send with its status,
// certificate and login handling.
#include "download/AsyncState.h"
#include "download/Authentication.h"
#include "download/CredentialStore.h"
#include "download/InternetDownloader.h"
#include "download/TransferRules.h"
#include "platform/Text.h"
#include "platform/ProgressSink.h"

#include <cstdint>
#include <vector>

namespace orvanta {
namespace {

// RELOAD | NO_CACHE_WRITE | KEEP_CONNECTION | IGNORE_REDIRECT_TO_HTTP | IGNORE_REDIRECT_TO_HTTPS
constexpr DWORD kRequestFlags = 0x8440C000;
// Ignore revocation, unknown CA, wrong usage, name and date problems and weak signatures.
constexpr DWORD kIgnoreCertificateProblems = 0x13380;
constexpr DWORD kAcceptCertificateErrors = 0x3F05;
// Each resend needs a fresh answer from the user or a relaxed flag; this only stops a loop
// that nothing would end.
constexpr int kMaxSends = 20;
constexpr DWORD kHeaderQueryBytes = 1040;

bool AddSecurityFlags(HINTERNET request, DWORD flags)
{
    DWORD current = 0;
    DWORD size = sizeof(current);
    if (!::InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &current, &size))
        return false;
    current |= flags;
    return ::InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &current, sizeof(current)) == TRUE;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                              nullptr);
    return bytes;
}

std::wstring HttpDate(const SYSTEMTIME& time)
{
    wchar_t buffer[64] = {};
    if (!::InternetTimeFromSystemTimeW(&time, INTERNET_RFC1123_FORMAT, buffer, sizeof(buffer)))
        return {};
    return buffer;
}

// A header value with one growth of the buffer when it is too small.
std::wstring QueryText(HINTERNET request, DWORD query)
{
    std::vector<BYTE> buffer(kHeaderQueryBytes);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (::HttpQueryInfoW(request, query, buffer.data(), &size, nullptr))
            return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data()), size / sizeof(wchar_t));
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return {};
        buffer.resize(size + sizeof(wchar_t));
    }
    return {};
}

const wchar_t* NullWhenEmpty(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

uint32_t InternetDownloader::OpenHttp(const std::wstring& url, const wchar_t* verb, INTERNET_PORT port,
                                      const std::wstring& host, const std::wstring& user,
                                      const std::wstring& password, const std::wstring& objectName, bool secure,
                                      uint64_t& resumeOffset, uint64_t& contentLength)
{
    uint32_t result = OpenHttpRequest(verb, port, host, user, password, objectName, secure);
    if (result == 0)
        result = SendHttpRequest(url, user, password, resumeOffset, contentLength);
    if (result != 0)
        CloseOpenHandles();
    return result;
}

uint32_t InternetDownloader::OpenHttpRequest(const wchar_t* verb, INTERNET_PORT port, const std::wstring& host,
                                             const std::wstring& user, const std::wstring& password,
                                             const std::wstring& objectName, bool secure)
{
    PrepareCall(OperationKind::Connect);
    HINTERNET connection = ::InternetConnectW(session_.Get(), host.c_str(), port, NullWhenEmpty(user),
                                              NullWhenEmpty(password), INTERNET_SERVICE_HTTP, 0, Context());
    uint32_t result = FinishOpen(connection, connection_);
    if (result != 0)
        return result;

    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    const DWORD flags = kRequestFlags | (secure ? INTERNET_FLAG_SECURE : 0);
    PrepareCall(OperationKind::HttpOpenRequest);
    HINTERNET request = ::HttpOpenRequestW(connection_, verb, objectName.c_str(), L"HTTP/1.0", nullptr, acceptTypes,
                                           flags, Context());
    result = FinishOpen(request, currentHandle_);
    if (result != 0)
        return result;
    if (secure && ignoreCertificateProblems_)
        AddSecurityFlags(currentHandle_, kIgnoreCertificateProblems);
    return 0;
}

std::wstring InternetDownloader::BuildRequestHeaders(uint64_t resumeOffset) const
{
    std::wstring headers;
    if (resumeOffset != 0)
        headers += L"Range: bytes=" + std::to_wstring(resumeOffset) + L"-\r\n";
    if (ifModifiedSince_.wYear != 0)
        headers += Format(L"If-Modified-Since: %ls\r\n", HttpDate(ifModifiedSince_).c_str());
    if (!formData_.empty())
        headers += contentTypeHeader_;
    if (!acceptEncoding_.empty())
        headers += Format(L"Accept-Encoding: %ls\r\n", acceptEncoding_.c_str());
    headers += extraHeaders_;
    return headers;
}

uint32_t InternetDownloader::SendOnce(const std::wstring& headers)
{
    AsyncState& state = *state_;
    // A send that is still running after a cancel reads these: they live in the state.
    state.sendHeaders = headers;
    state.sendBody = ToUtf8(formData_);
    PrepareCall(OperationKind::HttpSendRequest);
    const BOOL sent = ::HttpSendRequestW(currentHandle_, NullWhenEmpty(state.sendHeaders),
                                         static_cast<DWORD>(state.sendHeaders.size()),
                                         state.sendBody.empty() ? nullptr : &state.sendBody[0],
                                         static_cast<DWORD>(state.sendBody.size()));
    return FinishCall(sent, false);
}

uint32_t InternetDownloader::SendHttpRequest(const std::wstring& url, std::wstring user, std::wstring password,
                                             uint64_t& resumeOffset, uint64_t& contentLength)
{
    const std::wstring headers = BuildRequestHeaders(resumeOffset);
    if (credentials_ != nullptr)
        credentials_->ResetAttempt();
    uint32_t lastFailure = DLERR_AUTH_REQUIRED;
    for (int send = 0; send < kMaxSends; ++send) {
        const uint32_t sent = SendOnce(headers);
        if (sent == DLERR_CANCELED)
            return sent;
        if (IsCertificateError(sent)) {
            lastFailure = sent;
            if (RetryAfterCertificateError(sent))
                continue;
            return sent;
        }
        DWORD status = 0;
        DWORD size = sizeof(status);
        if (!::HttpQueryInfoW(currentHandle_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                              nullptr)) {
            const DWORD queryError = ::GetLastError();
            // Without a response the send's own failure is the one that tells what happened.
            return sent != 0 ? sent : queryError;
        }
        statusCode_ = status;
        // As text: the numeric query has 32 bits, files may be larger.
        uint64_t length = 0;
        if (!ParseSize(QueryText(currentHandle_, HTTP_QUERY_CONTENT_LENGTH), length))
            length = 0;
        const ContentRange range =
            status == 206 ? ParseContentRange(QueryText(currentHandle_, HTTP_QUERY_CONTENT_RANGE)) : ContentRange();
        ReadResponseDetails(status);

        const HttpStatusOutcome outcome = DecideHttpStatus(status, length, resumeOffset, sent, range);
        if (outcome.action == HttpStatusOutcome::Action::Login) {
            const bool isProxy = status == 407;
            const std::wstring realm = GetChallengeRealm(currentHandle_, status);
            std::wstring proxyServer;
            if (isProxy)
                proxyServer = !proxy_.empty() ? ProxyHostName(proxy_) : GetProxyServerName(currentHandle_);
            if (!Authenticate(credentials_, sink_, currentHandle_, url, realm, isProxy, proxyServer, user, password))
                return DLERR_AUTH_REQUIRED;
            continue;
        }
        if (outcome.action == HttpStatusOutcome::Action::Fail)
            return outcome.result;
        resumeOffset = outcome.resumeOffset;
        contentLength = outcome.contentLength;
        return 0;
    }
    return lastFailure;
}

bool InternetDownloader::RetryAfterCertificateError(uint32_t sendResult)
{
    if (failOnCertificateErrors_)
        return false;
    if (acceptCertificateErrors_)
        return AddSecurityFlags(currentHandle_, kAcceptCertificateErrors);
    if (sink_ == nullptr)
        return false;
    // The context is 32-bit: the request handle fits in the 32-bit product.
    const auto context = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(currentHandle_));
    return sink_->ReportError(nullptr, sendResult, context) == 0;
}

void InternetDownloader::ReadResponseDetails(DWORD status)
{
    if (wantLastModified_ && status != 304) {
        SYSTEMTIME time{};
        DWORD size = sizeof(time);
        if (!::HttpQueryInfoW(currentHandle_, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &time, &size,
                              nullptr))
            time = SYSTEMTIME{};
        lastModified_ = time;
    }
    if (status == 200 && wantContentDisposition_)
        contentDisposition_ = QueryText(currentHandle_, HTTP_QUERY_CONTENT_DISPOSITION);
}

} // namespace orvanta
