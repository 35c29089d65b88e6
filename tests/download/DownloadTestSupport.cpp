#include <winsock2.h>

#include "DownloadTestSupport.h"

#include "TestSupport.h"
#include "download/Authentication.h"
#include "download/Md5.h"
#include "download/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <sstream>
#include <thread>

namespace download_testing {
namespace {

TestServers LoadServers()
{
    TestServers servers;
    const std::wstring file = testing_support::EnvironmentValue(L"ORVANTA_DOWNLOAD_SERVERS");
    servers.configured = !file.empty();
    servers.faultLog = file.substr(0, file.rfind(L'\\') + 1) + L"fault.log";
    servers.proxyLog = file.substr(0, file.rfind(L'\\') + 1) + L"proxy.log";
    std::istringstream lines(servers.configured ? testing_support::ReadBytes(file) : std::string());
    const std::map<std::string, int*> ports{
        {"http", &servers.http},           {"https", &servers.https},         {"fault", &servers.fault},
        {"ftp", &servers.ftp},             {"fault-backlog", &servers.faultBacklog},
        {"fault-mute", &servers.faultMute}, {"fault-ftp", &servers.faultFtp},
        {"proxy", &servers.proxy},          {"proxy-login", &servers.proxyLogin},
        {"https-ca", &servers.httpsTrusted}, {"https-other-host", &servers.httpsOtherHost},
        {"https-expired", &servers.httpsExpired}, {"https-stray-issuer", &servers.httpsStrayIssuer}};
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        const std::string key = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (ports.count(key) != 0)
            *ports.at(key) = std::atoi(value.c_str());
        else if (key == "data")
            servers.dataFolder = std::wstring(value.begin(), value.end());
    }
    servers.loaded = servers.http != 0 && servers.https != 0 && servers.fault != 0 && servers.ftp != 0 &&
                     servers.faultBacklog != 0 && servers.faultMute != 0 && servers.faultFtp != 0 &&
                     servers.proxy != 0 && servers.proxyLogin != 0 && servers.httpsTrusted != 0 &&
                     servers.httpsOtherHost != 0 && servers.httpsExpired != 0 && servers.httpsStrayIssuer != 0 &&
                     !servers.dataFolder.empty();
    return servers;
}

} // namespace

const TestServers& Servers()
{
    static const TestServers servers = LoadServers();
    return servers;
}

ProxyForChildren::ProxyForChildren(int port)
{
    wchar_t value[512];
    const DWORD length = ::GetEnvironmentVariableW(L"no_proxy", value, 512);
    hadNoProxy_ = length != 0 && length < 512;
    if (hadNoProxy_)
        oldNoProxy_.assign(value, length);
    ::SetEnvironmentVariableW(L"no_proxy", nullptr);
    ::SetEnvironmentVariableW(L"http_proxy", (L"http://127.0.0.1:" + std::to_wstring(port)).c_str());
}

ProxyForChildren::~ProxyForChildren()
{
    ::SetEnvironmentVariableW(L"http_proxy", nullptr);
    if (hadNoProxy_)
        ::SetEnvironmentVariableW(L"no_proxy", oldNoProxy_.c_str());
}

bool ServeFile(const std::wstring& name, const std::string& bytes)
{
    return testing_support::WriteBytes(Servers().DataFile(name), bytes);
}

void RecordingSink::AddProgress(uint64_t bytes)
{
    progress += bytes;
    std::lock_guard<std::mutex> guard(lock_);
    steps_.push_back(bytes);
}

uint32_t RecordingSink::ReportError(const wchar_t* text, uint32_t code)
{
    std::lock_guard<std::mutex> guard(lock_);
    errors_.push_back(ReportedError{text != nullptr ? text : L"", text != nullptr, code});
    return code;
}

std::vector<ReportedError> RecordingSink::Errors()
{
    std::lock_guard<std::mutex> guard(lock_);
    return errors_;
}

std::vector<uint64_t> RecordingSink::ProgressSteps()
{
    std::lock_guard<std::mutex> guard(lock_);
    return steps_;
}

bool PromptingStore::AskUser(HWND)
{
    ++questions;
    if (answers_.empty())
        return false;
    StoreEntered(answers_.front().user, answers_.front().password, answers_.front().remember);
    answers_.erase(answers_.begin());
    return true;
}

bool PromptingStore::GetRemembered(std::wstring& user, std::wstring& password)
{
    if (!CredentialStore::GetRemembered(user, password))
        return false;
    offered.push_back(user);
    return true;
}

uint32_t CountingDownloader::OpenUrl(const std::wstring& url, const wchar_t* verb, uint64_t& resumeOffset,
                                     uint64_t& contentLength)
{
    attempts.push_back(url);
    return InternetDownloader::OpenUrl(url, verb, resumeOffset, contentLength);
}

uint32_t RunBounded(const std::function<uint32_t()>& work, unsigned limitMs)
{
    auto task = std::make_shared<std::packaged_task<uint32_t()>>(work);
    std::future<uint32_t> result = task->get_future();
    std::thread worker([task] { (*task)(); });
    if (result.wait_for(std::chrono::milliseconds(limitMs)) != std::future_status::ready) {
        ADD_FAILURE() << "the download did not end within " << limitMs << " ms";
        std::fflush(stdout);
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    worker.join();
    return result.get();
}

int ClosedPort()
{
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int port = 9;  // discard: closed on a test machine
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        int length = sizeof(address);
        if (::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    ::closesocket(s);
    return port;
}

uint32_t Fetch(orvanta::InternetDownloader& downloader, const std::wstring& url, const std::wstring& target)
{
    return RunBounded([&] { return downloader.Download(url, target); });
}

void ExpectOneFailure(RecordingSink& sink, uint32_t code, const std::wstring& text)
{
    const std::vector<ReportedError> errors = sink.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, code);
    EXPECT_EQ(errors[0].text, text);
}

std::wstring FileUrl(const std::wstring& path)
{
    std::wstring url = L"file:///" + path;
    std::replace(url.begin(), url.end(), L'\\', L'/');
    return url;
}

std::wstring Md5Hex(const std::string& bytes)
{
    orvanta::Md5 md5;
    md5.Update(bytes.data(), bytes.size());
    char hex[33];
    orvanta::Md5::ToHex(md5.Finish(), hex);
    return std::wstring(hex, hex + 32);
}

std::wstring Sha256Hex(const std::string& bytes)
{
    orvanta::Sha256 sha256(orvanta::Sha256::Engine::Portable);
    sha256.Update(bytes.data(), bytes.size());
    char hex[65];
    orvanta::Sha256::ToHex(sha256.Finish(), hex);
    return std::wstring(hex, hex + 64);
}

} // namespace download_testing
