// The download engine: one object per file. It validates the URLs, opens an asynchronous
// WinINet session (InternetSession), tries the mirrors with retries through the source of each
// URL's scheme (HttpSource, FtpSource, ShareSource) and reads the file into "<target>.part"
// (PartFile), renaming it to the target when complete. Results are 0, a Windows or WinINet
// error code, or one of the DLERR_* codes of platform/ResultCodes.h.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "download/HttpSource.h"
#include "download/InternetSession.h"
#include "download/StreamHasher.h"
#include "download/WinInetApi.h"
#include "platform/ResultCodes.h"
#include "platform/UniqueResource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvanta {

class CredentialStore;
class DownloadQuestions;
class PartFile;
class ProgressSink;


// What one download must check while the bytes arrive.
struct DownloadSettings {
    uint64_t expectedSize = 0;  // 0: unknown; more bytes than this fail the download
    bool wantMd5 = false;       // digests computed over the file's bytes as they are written
    bool wantSha256 = false;    // (over the bytes of a continued ".part" file first)
    bool wantPeImage = false;   // the Authenticode digest, for a signature check
    std::wstring proxy;         // an explicit proxy list; empty: the system's configuration
};

class InternetDownloader {
public:
    // No pointer is owned; each may be null (no progress shown, no login remembered, nobody to
    // ask: every question is refused).
    InternetDownloader(ProgressSink* sink, CredentialStore* credentials, DownloadQuestions* questions = nullptr,
                       DownloadSettings settings = {});
    virtual ~InternetDownloader();
    InternetDownloader(const InternetDownloader&) = delete;
    InternetDownloader& operator=(const InternetDownloader&) = delete;

    // The HTTP status of the last response; 0 when none came.
    uint32_t GetStatusCode() const { return answers_.statusCode; }
    // The host name of the proxy behind the last login question; empty when a server asked.
    const std::wstring& LoginProxy() const { return answers_.loginProxy; }

    // Fetches `url` into `target`; 0 on success.
    virtual uint32_t Download(const std::wstring& url, const std::wstring& target);
    // The same over a list of mirrors, tried in order with retries.
    virtual uint32_t DownloadFromUrls(const std::vector<std::wstring>& urls, const std::wstring& target);

    // The place in the URL list of the mirror that answered last; -1 when none did.
    int ServedIndex() const { return servedIndex_; }

    // The digests the settings asked for, after a successful download.
    const ContentDigests& GetDigests() const { return digests_; }

    // The server's reply text after the last connect or FTP command.
    std::wstring GetLastResponseText() const { return session_.LastResponseText(); }

protected:
    // Extra open attempts over the mirrors; also the reconnections in a row that bring no byte.
    static constexpr int32_t kRetryCount = 6;

    // One open attempt of one URL (a seam for tests that count attempts).
    virtual uint32_t OpenUrl(const std::wstring& url, const wchar_t* verb, uint64_t& resumeOffset,
                             uint64_t& contentLength);

private:
    bool IsCanceled() const;

    // Download call (InternetDownloader.cpp).
    uint32_t ValidateUrls();
    uint32_t RunDownload();
    uint64_t ExistingPartialSize() const;
    uint32_t OpenWithFreshStart(uint64_t& resumeOffset, uint64_t& contentLength);
    void Report(const wchar_t* text, uint32_t code);
    void ReportForTarget(uint32_t code);

    // Mirrors and retries (MirrorRetry.cpp).
    uint32_t OpenWithRetries(uint64_t& resumeOffset, uint64_t& contentLength);
    SourceContext Sources() { return SourceContext{session_, credentials_, questions_}; }

    // file: URLs (the copy itself is ShareSource's).
    uint32_t CopyFromShare(const std::wstring& source, const std::wstring& target);

    // Reading into the ".part" file (FileTransfer.cpp).
    uint32_t TransferToFile(uint64_t resumeOffset, uint64_t contentLength);
    uint32_t FailOverlongTransfer(PartFile& file);
    struct DropTracker {
        uint64_t sizeAtLastReconnect;
        int32_t fruitless;
    };
    uint32_t ReadChunk(DWORD size, DWORD& bytesRead);
    uint32_t ReadAvailable(DWORD& bytesRead);
    uint32_t WriteChunk(PartFile& file, DWORD bytes);
    uint32_t RecoverFromDrop(PartFile& file, uint32_t failure, uint64_t& contentLength, DropTracker& drops);
    uint32_t Reconnect(PartFile& file, uint64_t& contentLength, bool& rangeIgnored);
    uint32_t FinishPartialFile();

    InternetSession session_;
    ProgressSink* sink_;
    CredentialStore* credentials_;
    DownloadQuestions* questions_;
    const DownloadSettings settings_;
    std::wstring targetPath_;
    std::wstring partialPath_;
    std::vector<std::wstring> urls_;
    int servedIndex_ = -1;
    bool sourceIsShare_ = false;
    std::wstring sharePath_;

    ContentDigests digests_;  // of the last download
    bool reconnectOnDrop_ = true;
    ServerAnswers answers_;
};

} // namespace orvanta
