// Opening an FTP download on the session: passive connection with the login question, the
// file's size, the restart position and the file itself.
#pragma once

#include "download/SourceContext.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

namespace orvanta {

class FtpSource {
public:
    explicit FtpSource(const SourceContext& context)
        : session_(context.session), credentials_(context.credentials), questions_(context.questions)
    {
    }

    // Connects and opens the file, restarting at `resumeOffset` (set to 0 when the server
    // refuses); 0 with the file open on the session and its length (0: unknown), or the error
    // with nothing left open.
    uint32_t Open(const std::wstring& url, INTERNET_PORT port, const std::wstring& host, const std::wstring& user,
                  const std::wstring& password, const std::wstring& path, uint64_t& resumeOffset,
                  uint64_t& contentLength);

private:
    uint32_t Connect(const std::wstring& url, INTERNET_PORT port, const std::wstring& host, std::wstring user,
                     std::wstring password);
    uint32_t OpenFile(const std::wstring& path, uint64_t& resumeOffset, uint64_t& contentLength);
    uint32_t Command(const std::wstring& command);
    uint32_t RestartAt(uint64_t& resumeOffset);

    InternetSession& session_;
    CredentialStore* credentials_;
    DownloadQuestions* questions_;
};

} // namespace orvanta
