#include <winsock2.h>

#include "DownloadTestSupport.h"

#include "TestSupport.h"
#include "download/Authentication.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

namespace download_testing {
namespace {

TestServers LoadServers()
{
    TestServers servers;
    const std::wstring file = testing_support::EnvironmentValue(L"ORVANTA_DOWNLOAD_SERVERS");
    servers.configured = !file.empty();
    if (!servers.configured)
        return servers;
    const std::string text = testing_support::ReadBytes(file);
    size_t position = 0;
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(position, end - position);
        position = end + 1;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "http")
            servers.http = std::atoi(value.c_str());
        else if (key == "https")
            servers.https = std::atoi(value.c_str());
        else if (key == "fault")
            servers.fault = std::atoi(value.c_str());
        else if (key == "ftp")
            servers.ftp = std::atoi(value.c_str());
        else if (key == "data")
            servers.dataFolder = std::wstring(value.begin(), value.end());
    }
    servers.loaded = servers.http != 0 && servers.https != 0 && servers.fault != 0 && servers.ftp != 0 &&
                     !servers.dataFolder.empty();
    return servers;
}

} // namespace

std::wstring TestServers::NginxUrl(const std::wstring& name) const
{
    return L"http://127.0.0.1:" + std::to_wstring(http) + L"/" + name;
}

std::wstring TestServers::SecureUrl(const std::wstring& name) const
{
    return L"https://127.0.0.1:" + std::to_wstring(https) + L"/" + name;
}

std::wstring TestServers::FaultUrl(const std::wstring& path) const
{
    return L"http://127.0.0.1:" + std::to_wstring(fault) + path;
}

std::wstring TestServers::FtpUrl(const std::wstring& login, const std::wstring& name) const
{
    return L"ftp://" + login + (login.empty() ? L"" : L"@") + L"127.0.0.1:" + std::to_wstring(ftp) + L"/" + name;
}

const TestServers& Servers()
{
    static const TestServers servers = LoadServers();
    return servers;
}

void RecordingSink::BeginTransfer(uint32_t, uint64_t length, const std::wstring&)
{
    ++transfersBegun;
    announcedLength = length;
}

void RecordingSink::Complete(uint32_t kind, uint32_t)
{
    if (kind == 1)
        ++transfersCompleted;
}

void RecordingSink::AddProgress(uint64_t bytes)
{
    progress += bytes;
    std::lock_guard<std::mutex> guard(lock_);
    steps_.push_back(bytes);
}

uint32_t RecordingSink::ReportError(const wchar_t* text, uint32_t code, uint32_t context)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        errors_.push_back(ReportedError{text != nullptr ? text : L"", text != nullptr, code, context});
    }
    return answer ? answer(code, context) : code;
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

void PromptingStore::WillAnswer(const std::wstring& user, const std::wstring& password)
{
    answers_.emplace_back(user, password);
}

bool PromptingStore::AskUser(HWND)
{
    ++questions;
    if (answers_.empty())
        return false;
    StoreEntered(answers_.front().first, answers_.front().second);
    answers_.erase(answers_.begin());
    return true;
}

void AnswerLoginsFrom(RecordingSink& sink, orvanta::CredentialStore& store)
{
    sink.answer = [&store](uint32_t code, uint32_t context) {
        if (code == orvanta::DLERR_AUTH_REQUIRED && context != 0 && store.AskUser(nullptr))
            return orvanta::kAnswerRetry;
        return code;
    };
}

uint32_t CountingDownloader::OpenUrl(const std::wstring& url, const wchar_t* verb, uint32_t& resumeOffset,
                                     uint32_t& contentLength)
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

std::string Prefix(const std::string& bytes, size_t length)
{
    return bytes.substr(0, length);
}

} // namespace download_testing
