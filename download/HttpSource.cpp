// Opening an HTTP or HTTPS download: connection, request, headers, the send with its status,
// certificate and login handling.
#include "download/HttpSource.h"

#include "download/AsyncState.h"
#include "download/Authentication.h"
#include "download/CredentialStore.h"
#include "download/DownloadQuestions.h"
#include "download/InternetDownloader.h"
#include "download/InternetSession.h"
#include "download/TransferRules.h"
#include "download/UrlText.h"
#include "platform/Logger.h"
#include "platform/Strings.h"
#include "platform/Text.h"

#include <cstdint>
#include <vector>

namespace orvanta {
namespace {

// RELOAD | NO_CACHE_WRITE | KEEP_CONNECTION | IGNORE_REDIRECT_TO_HTTPS. A redirect from HTTPS
// to HTTP is not let through (no IGNORE_REDIRECT_TO_HTTP): see RefuseDowngrade.
constexpr DWORD kRequestFlags = 0x84404000;
// What a person who accepts a certificate error lets through.
constexpr DWORD kAcceptCertificateErrors = 0x3F05;
// Each resend needs a fresh answer from the user or a relaxed flag; this only stops a loop
// that nothing would end.
constexpr int kMaxSends = 20;

bool AddSecurityFlags(HINTERNET request, DWORD flags)
{
    DWORD current = 0;
    DWORD size = sizeof(current);
    if (!wininet::InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &current, &size))
        return false;
    current |= flags;
    return wininet::InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &current, sizeof(current)) == TRUE;
}

// A header value with one growth of the buffer when it is too small.
const DWORD kHeaderQueryBytes = 1024;

std::wstring QueryText(HINTERNET request, DWORD query)
{
    std::vector<BYTE> buffer(kHeaderQueryBytes);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (wininet::HttpQueryInfoW(request, query, buffer.data(), &size, nullptr))
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

std::wstring BuildRequestHeaders(uint64_t resumeOffset)
{
    std::wstring headers;
    if (resumeOffset != 0)
        headers += L"Range: bytes=" + DecimalText(resumeOffset) + L"-\r\n";
    return headers;
}

} // namespace

uint32_t HttpSource::Open(const std::wstring& url, const wchar_t* verb, INTERNET_PORT port,
                                      const std::wstring& host, const std::wstring& user,
                                      const std::wstring& password, const std::wstring& objectName, bool secure,
                                      uint64_t& resumeOffset, uint64_t& contentLength)
{
    secure_ = secure;
    uint32_t result = OpenRequest(verb, port, host, user, password, objectName, secure);
    if (result == 0)
        result = SendRequest(url, user, password, resumeOffset, contentLength);
    if (result != 0)
        session_.CloseOpenHandles();
    return result;
}

uint32_t HttpSource::OpenRequest(const wchar_t* verb, INTERNET_PORT port, const std::wstring& host,
                                             const std::wstring& user, const std::wstring& password,
                                             const std::wstring& objectName, bool secure)
{
    session_.PrepareCall(OperationKind::Connect);
    HINTERNET connection = wininet::InternetConnectW(session_.Handle(), host.c_str(), port, NullWhenEmpty(user),
                                                     NullWhenEmpty(password), INTERNET_SERVICE_HTTP, 0, session_.Context());
    uint32_t result = session_.FinishOpen(connection, session_.Connection());
    if (result != 0)
        return result;

    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    const DWORD flags = kRequestFlags | (secure ? INTERNET_FLAG_SECURE : 0);
    session_.PrepareCall(OperationKind::HttpOpenRequest);
    HINTERNET request = wininet::HttpOpenRequestW(session_.Connection(), verb, objectName.c_str(), L"HTTP/1.0", nullptr,
                                                  acceptTypes, flags, session_.Context());
    result = session_.FinishOpen(request, session_.Request());
    if (result != 0)
        return result;
    return 0;
}

uint32_t HttpSource::SendOnce(const std::wstring& headers)
{
    AsyncState& state = session_.State();
    // A send that is still running after a cancel reads these: they live in the state.
    state.sendHeaders = headers;
    state.StartRedirects(secure_);
    session_.PrepareCall(OperationKind::HttpSendRequest);
    const BOOL sent = wininet::HttpSendRequestW(session_.Request(), NullWhenEmpty(state.sendHeaders),
                                         static_cast<DWORD>(state.sendHeaders.size()), nullptr, 0);
    return session_.FinishCall(sent, false);
}

uint32_t HttpSource::SendRequest(const std::wstring& url, std::wstring user, std::wstring password,
                                             uint64_t& resumeOffset, uint64_t& contentLength)
{
    const std::wstring headers = BuildRequestHeaders(resumeOffset);
    if (credentials_ != nullptr)
        credentials_->ResetAttempt();
    uint32_t lastFailure = DLERR_AUTH_REQUIRED;
    bool revocationRelaxed = false;
    for (int send = 0; send < kMaxSends; ++send) {
        const uint32_t sent = SendOnce(headers);
        if (sent == DLERR_CANCELED)
            return sent;
        if (sent == ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR || !session_.State().DowngradeTarget().empty())
            return RefuseDowngrade(url);
        if (IsRevocationUnchecked(sent) && !revocationRelaxed) {
            revocationRelaxed = true;
            if (!RetryWithoutRevocationCheck(url))
                return sent;
            continue;
        }
        if (IsCertificateError(sent)) {
            lastFailure = sent;
            if (RetryAfterCertificateError(sent))
                continue;
            return sent;
        }
        DWORD status = 0;
        DWORD size = sizeof(status);
        if (!wininet::HttpQueryInfoW(session_.Request(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                     nullptr)) {
            const DWORD queryError = ::GetLastError();
            // Without a response the send's own failure is the one that tells what happened.
            return sent != 0 ? sent : queryError;
        }
        answers_.statusCode = status;
        // As text: the numeric query has 32 bits, files may be larger.
        uint64_t length = 0;
        if (!ParseSize(QueryText(session_.Request(), HTTP_QUERY_CONTENT_LENGTH), length))
            length = 0;
        const ContentRange range =
            status == 206 ? ParseContentRange(QueryText(session_.Request(), HTTP_QUERY_CONTENT_RANGE)) : ContentRange();

        const HttpStatusOutcome outcome = DecideHttpStatus(status, length, resumeOffset, sent, range);
        if (outcome.action == HttpStatusOutcome::Action::Login) {
            const bool isProxy = status == 407;
            const std::wstring realm = GetChallengeRealm(session_.Request(), status);
            std::wstring proxyServer;
            if (isProxy)
                proxyServer = !proxy_.empty() ? ProxyHostName(proxy_) : GetProxyServerName(session_.Request());
            answers_.loginProxy = proxyServer;
            if (!Authenticate(credentials_, questions_, session_.Request(), url, realm, isProxy, proxyServer, user, password))
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

uint32_t HttpSource::RefuseDowngrade(const std::wstring& url)
{
    // A WinINet that refuses the redirect itself fails the send with the code returned here;
    // Wine's follows it and only reports it (the answer over HTTP is then left unread).
    const std::wstring target = session_.State().DowngradeTarget();
    LogLine(L"Redirect from HTTPS to HTTP was refused: " + UrlWithoutCredentials(url) +
            (target.empty() ? L"" : L" -> " + UrlWithoutCredentials(target)));
    return ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
}

bool HttpSource::RetryWithoutRevocationCheck(const std::wstring& url)
{
    // A revocation server that cannot be reached (a closed network, a captive portal) is a soft
    // failure, as in browsers: the certificate itself was valid and trusted. A revoked one stays
    // an error (ERROR_INTERNET_SEC_CERT_REVOKED).
    LogLine(L"Certificate revocation could not be checked for " + UrlWithoutCredentials(url) +
            L"; the download goes on without that check.");
    return AddSecurityFlags(session_.Request(), SECURITY_FLAG_IGNORE_REVOCATION);
}

bool HttpSource::RetryAfterCertificateError(uint32_t sendResult)
{
    // Nobody to ask, or a refusal, fails the download.
    if (questions_ == nullptr || !questions_->AcceptCertificateError(sendResult))
        return false;
    return AddSecurityFlags(session_.Request(), kAcceptCertificateErrors);
}

} // namespace orvanta
