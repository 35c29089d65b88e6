// Opening an HTTP or HTTPS download on the session: connection, request, headers, the send with
// its status, and the certificate and login questions.
#pragma once

#include "download/SourceContext.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

namespace orvanta {

// What the servers answered over the attempts of one download.
struct ServerAnswers {
    uint32_t statusCode = 0;  // of the last response; 0 when none came
    std::wstring loginProxy;  // the proxy behind the last login question; empty when a server asked
};

class HttpSource {
public:
    // `proxy` is the session's explicit proxy list (empty: the system's configuration).
    HttpSource(const SourceContext& context, const std::wstring& proxy, ServerAnswers& answers)
        : session_(context.session), credentials_(context.credentials), questions_(context.questions),
          proxy_(proxy), answers_(answers)
    {
    }

    // Opens the request and sends it, continuing at `resumeOffset` (set to 0 when the server
    // starts anew); 0 with the request open on the session and the length (0: unknown), or the
    // error with nothing left open.
    uint32_t Open(const std::wstring& url, const wchar_t* verb, INTERNET_PORT port, const std::wstring& host,
                  const std::wstring& user, const std::wstring& password, const std::wstring& objectName,
                  bool secure, uint64_t& resumeOffset, uint64_t& contentLength);

private:
    uint32_t OpenRequest(const wchar_t* verb, INTERNET_PORT port, const std::wstring& host, const std::wstring& user,
                         const std::wstring& password, const std::wstring& objectName, bool secure);
    uint32_t SendRequest(const std::wstring& url, std::wstring user, std::wstring password, uint64_t& resumeOffset,
                         uint64_t& contentLength);
    uint32_t SendOnce(const std::wstring& headers);
    bool RetryAfterCertificateError(uint32_t sendResult);
    // Logs the refused redirect; returns ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR.
    uint32_t RefuseDowngrade(const std::wstring& url);
    // Logs that the revocation stays unchecked and relaxes that check for the next send.
    bool RetryWithoutRevocationCheck(const std::wstring& url);

    InternetSession& session_;
    CredentialStore* credentials_;
    DownloadQuestions* questions_;
    const std::wstring& proxy_;
    ServerAnswers& answers_;
    bool secure_ = false;
};

} // namespace orvanta
