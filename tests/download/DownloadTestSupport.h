// Shared pieces of the download tests: the servers started by the CTest fixture, a sink that
// records what the stages and the engine report, a store that "prompts" with prepared answers,
// an engine that counts its open attempts and the fixture of the transfer tests.
#pragma once

#include "download/CredentialStore.h"
#include "download/DownloadQuestions.h"
#include "download/InternetDownloader.h"
#include "platform/ProgressSink.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace download_testing {

// The servers of the fixture, read from the file named by ORVANTA_DOWNLOAD_SERVERS.
struct TestServers {
    bool configured = false;  // the variable is set (CTest); false when run by hand without it
    bool loaded = false;
    int http = 0;   // nginx
    int https = 0;  // nginx with a self-signed certificate
    // nginx with certificates of the test authority that the prefix trusts: for 127.0.0.1, for
    // another host name, and for 127.0.0.1 but expired; and one of an authority nobody knows.
    int httpsTrusted = 0, httpsOtherHost = 0, httpsExpired = 0, httpsStrayIssuer = 0;
    int fault = 0;  // tests/servers/fault_server.py
    int ftp = 0;    // pyftpdlib
    // The fault server's stalling listeners: a full connection queue, a silent peer, and an
    // FTP server that stalls where the user name says.
    int faultBacklog = 0;
    int faultMute = 0;
    int faultFtp = 0;
    int proxy = 0;       // tinyproxy, open
    int proxyLogin = 0;  // tinyproxy asking for proxyuser/proxypw (realm "Tinyproxy")
    std::wstring dataFolder;
    std::wstring faultLog;  // what the fault server logs (requests, ended FTP sessions)
    std::wstring proxyLog;  // what the open proxy logs (requests)

    std::wstring DataFile(const std::wstring& name) const { return dataFolder + L"\\" + name; }
    std::wstring NginxUrl(const std::wstring& name) const { return Http(http) + L"/" + name; }
    std::wstring SecureUrl(const std::wstring& name) const { return L"https://127.0.0.1:" + Port(https) + L"/" + name; }
    std::wstring FaultUrl(const std::wstring& path) const { return Http(fault) + path; }
    std::wstring FtpUrl(const std::wstring& login, const std::wstring& name, int port = 0) const
    {
        return L"ftp://" + login + (login.empty() ? L"" : L"@") + L"127.0.0.1:" + Port(port != 0 ? port : ftp) +
               L"/" + name;
    }

private:
    static std::wstring Port(int port) { return std::to_wstring(port); }
    static std::wstring Http(int port) { return L"http://127.0.0.1:" + Port(port); }
};

const TestServers& Servers();

// Skips the test when run by hand without servers; fails when CTest named a servers file that
// cannot be read.
#define REQUIRE_TEST_SERVERS()                                                                  \
    do {                                                                                        \
        if (!::download_testing::Servers().configured)                                         \
            GTEST_SKIP() << "ORVANTA_DOWNLOAD_SERVERS is not set";                             \
        ASSERT_TRUE(::download_testing::Servers().loaded) << "the servers file cannot be read"; \
    } while (0)

// While it lives, the programs this process starts have the proxy on 127.0.0.1:`port` as their
// system proxy: Wine's WinINet follows http_proxy, and no_proxy (set by the test scripts for
// 127.0.0.1) is taken away.
class ProxyForChildren {
public:
    explicit ProxyForChildren(int port);
    ~ProxyForChildren();
    ProxyForChildren(const ProxyForChildren&) = delete;
    ProxyForChildren& operator=(const ProxyForChildren&) = delete;

private:
    std::wstring oldNoProxy_;
    bool hadNoProxy_ = false;
};

// Puts `bytes` into the folder the servers serve, as `name`.
bool ServeFile(const std::wstring& name, const std::string& bytes);

struct ReportedError {
    std::wstring text;
    bool hasText = false;
    uint32_t code = 0;
};

// Records what the stages and the engine report. The stage calls (ranges, statuses) come from
// the stage's own thread; the engine's may come from WinINet's threads.
class RecordingSink : public orvanta::ProgressSink {
public:
    void SetRange(uint32_t total, orvanta::StageSteps) override { ranges.push_back(total); }
    void BeginTransfer(uint32_t, uint64_t length, const std::wstring&) override
    {
        ++transfersBegun;
        announcedLength = length;
    }
    void Complete(uint32_t kind, uint32_t) override { transfersCompleted += kind == 1 ? 1 : 0; }
    void AddProgress(uint64_t bytes) override;
    bool IsCanceled() override
    {
        return canceled || (cancelAfterStatuses >= 0 && static_cast<int>(statuses.size()) >= cancelAfterStatuses);
    }
    bool IsPaused() override { return false; }
    uint32_t ReportError(const wchar_t* text, uint32_t code) override;
    void SetStatus(const std::wstring& text, uint32_t kind, uint32_t) override
    {
        statuses.push_back(text);
        statusKinds.push_back(kind);
    }

    std::vector<ReportedError> Errors();
    std::vector<uint64_t> ProgressSteps();

    std::atomic<bool> canceled{false};
    int cancelAfterStatuses = -1;  // cancel once this many statuses were shown (negative: never)
    std::atomic<uint64_t> progress{0};
    std::atomic<int> transfersBegun{0};
    std::atomic<int> transfersCompleted{0};
    std::atomic<uint64_t> announcedLength{0};
    std::vector<uint32_t> ranges;
    std::vector<std::wstring> statuses;
    std::vector<uint32_t> statusKinds;

private:
    std::mutex lock_;
    std::vector<ReportedError> errors_;
    std::vector<uint64_t> steps_;
};

// A store whose "prompt" hands out prepared credentials, each once, with "Remember my
// credentials" ticked unless told otherwise.
class PromptingStore : public orvanta::CredentialStore {
public:
    void WillAnswer(const std::wstring& user, const std::wstring& password, bool remember = true)
    {
        answers_.push_back({user, password, remember});
    }
    bool AskUser(HWND parent) override;
    bool GetRemembered(std::wstring& user, std::wstring& password) override;
    int questions = 0;
    std::vector<std::wstring> offered;  // the users offered from memory, in order

private:
    struct Answer {
        std::wstring user;
        std::wstring password;
        bool remember;
    };
    std::vector<Answer> answers_;
};

// Records the questions of the engine. A login is put to the store's prompt, as the progress
// dialog does, when `answerLogins`; a certificate error is accepted when `acceptCertificates`.
class RecordingQuestions : public orvanta::DownloadQuestions {
public:
    bool AskForLogin(orvanta::CredentialStore& store) override
    {
        logins.push_back(store.Url());
        return answerLogins && store.AskUser(nullptr);
    }
    bool AcceptCertificateError(uint32_t error) override
    {
        certificateErrors.push_back(error);
        return acceptCertificates;
    }

    bool answerLogins = true;
    bool acceptCertificates = false;
    std::vector<std::wstring> logins;  // the URL of each login question
    std::vector<uint32_t> certificateErrors;
};

// Settings that expect `size` bytes (0: any size) and, with `digests`, compute MD5 and SHA-256.
inline orvanta::DownloadSettings Checking(uint64_t size, bool digests = false)
{
    orvanta::DownloadSettings settings;
    settings.expectedSize = size;
    settings.wantMd5 = digests;
    settings.wantSha256 = digests;
    return settings;
}

class CountingDownloader : public orvanta::InternetDownloader {
public:
    using InternetDownloader::InternetDownloader;
    std::vector<std::wstring> attempts;

protected:
    uint32_t OpenUrl(const std::wstring& url, const wchar_t* verb, uint64_t& resumeOffset,
                     uint64_t& contentLength) override;
};

// Runs `work` on a thread and waits at most `limitMs`; a hang ends the test program with a
// failure instead of blocking the run.
uint32_t RunBounded(const std::function<uint32_t()>& work, unsigned limitMs = 120000);

// downloader.Download(url, target), bounded as above.
uint32_t Fetch(orvanta::InternetDownloader& downloader, const std::wstring& url, const std::wstring& target);

// The sink saw exactly one report, the failure `code` of the file named `text`.
void ExpectOneFailure(RecordingSink& sink, uint32_t code, const std::wstring& text);

// A port on 127.0.0.1 where nothing listens (bound and released again).
int ClosedPort();

// file:///C:/dir/name for a drive path.
std::wstring FileUrl(const std::wstring& path);

// The lower-case hex digests of `bytes`, SHA-256 by the plain code apart from the engine's fast one.
std::wstring Md5Hex(const std::string& bytes);
std::wstring Sha256Hex(const std::string& bytes);

// A transfer from the servers into a fresh folder; medium.bin and small.bin are the served files.
class TransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TEST_SERVERS();
        medium_ = testing_support::ReadBytes(Servers().DataFile(L"medium.bin"));
        small_ = testing_support::ReadBytes(Servers().DataFile(L"small.bin"));
    }

    testing_support::TempDir dir_;
    const std::wstring target_ = dir_ / L"medium.bin";
    std::string medium_;
    std::string small_;
    RecordingSink sink_;
};

} // namespace download_testing
