#include "TestSupport.h"

#include "platform/Logger.h"
#include "platform/UniqueResource.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>

namespace testing_support {

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, temp);
    for (;;) {
        path_ = std::wstring(temp, length) + L"orvanta-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++);
        if (::CreateDirectoryW(path_.c_str(), nullptr))
            break;
    }
}

TempDir::~TempDir()
{
    RemoveTree(path_);
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(path.c_str());
}

std::string ReadBytes(const std::wstring& path)
{
    orvanta::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    orvanta::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool WriteUtf16File(const std::wstring& path, const std::wstring& text, bool withBom)
{
    std::string bytes;
    if (withBom)
        bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return WriteBytes(path, bytes);
}

std::wstring ReadUtf16File(const std::wstring& path)
{
    const std::string bytes = ReadBytes(path);
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (!text.empty() && text[0] == 0xFEFF)
        text.erase(0, 1);
    return text;
}

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring EnvironmentValue(const wchar_t* name)
{
    wchar_t buffer[4096];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
    return length == 0 || length >= 4096 ? std::wstring() : std::wstring(buffer, length);
}

std::wstring BesideTestProgram(const std::wstring& name)
{
    wchar_t module[MAX_PATH];
    const std::wstring path(module, ::GetModuleFileNameW(nullptr, module, MAX_PATH));
    return path.substr(0, path.rfind(L'\\') + 1) + name;
}

bool IsReparsePoint(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

size_t CountOf(const std::wstring& text, const std::wstring& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs)
{
    const ULONGLONG end = ::GetTickCount64() + limitMs;
    for (;;) {
        if (condition())
            return true;
        if (::GetTickCount64() >= end)
            return false;
        ::Sleep(50);
    }
}

StartedProcess::StartedProcess(const std::wstring& commandLine, const std::wstring& workingFolder)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring mutableLine = commandLine;
    if (!::CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process))
        return;
    ::CloseHandle(process.hThread);
    process_ = process.hProcess;
    id_ = process.dwProcessId;
}

StartedProcess::~StartedProcess()
{
    if (process_ == nullptr)
        return;
    if (Running()) {
        ::TerminateProcess(process_, 0xDEAD);
        ::WaitForSingleObject(process_, 5000);
    }
    ::CloseHandle(process_);
}

bool StartedProcess::Running() const
{
    return process_ != nullptr && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool StartedProcess::Wait(DWORD& exitCode, DWORD limitMs)
{
    if (process_ == nullptr || ::WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0)
        return false;
    return ::GetExitCodeProcess(process_, &exitCode) != FALSE;
}

ProcessResult RunProcess(const std::wstring& commandLine, const std::wstring& workingFolder, DWORD timeoutMs)
{
    ProcessResult result;
    StartedProcess process(commandLine, workingFolder);  // ended at scope end when it overran
    result.started = process.Started();
    result.finished = result.started && process.Wait(result.exitCode, timeoutMs);
    return result;
}

Gate::Gate(const std::wstring& name)
    : name_(name + L"-" + std::to_wstring(::GetCurrentProcessId())),
      event_(::CreateEventW(nullptr, TRUE, FALSE, name_.c_str()))
{
}

Gate::~Gate()
{
    // Whatever still waits goes on: nothing outlives the test behind a closed gate.
    ::SetEvent(event_);
    ::CloseHandle(event_);
}

void DeleteRegistryTree(HKEY root, const std::wstring& path)
{
    ::RegDeleteTreeW(root, path.c_str());
    ::RegDeleteKeyW(root, path.c_str());
}

void ScratchKeys::Delete() const
{
    for (const std::wstring& path : paths_)
        DeleteRegistryTree(HKEY_CURRENT_USER, path);
}

bool SetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
                      DWORD size, REGSAM view)
{
    orvanta::UniqueKey key;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, key.Put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool SetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value,
                       REGSAM view)
{
    return SetRegistryValue(root, path, name, REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), view);
}

bool RegistryKeyExists(HKEY root, const std::wstring& path)
{
    orvanta::UniqueKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        key.Release();
        return false;
    }
    return true;
}

bool ReadRegistryString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& value)
{
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (::RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return false;
    value = buffer;
    return true;
}

std::vector<std::wstring> LogMessages(const std::wstring& logText)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < logText.size()) {
        size_t end = logText.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = logText.size();
        std::wstring line = logText.substr(start, end - start);
        // "2024-03-07 14-05-09-" is 20 characters.
        if (line.size() >= 20 && line[4] == L'-' && line[10] == L' ' && line[19] == L'-')
            line.erase(0, 20);
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

bool ContainsLine(const std::vector<std::wstring>& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

LogCapture::LogCapture()
{
    orvanta::Logger::Instance().ResetForTesting();
    orvanta::Logger::Instance().SetLogFile(Path());
    orvanta::LogEnabled = true;
}

LogCapture::~LogCapture()
{
    orvanta::LogEnabled = false;
    orvanta::Logger::Instance().ResetForTesting();
}

std::map<std::wstring, ACCESS_MASK> AllowedEntries(const ACL* dacl)
{
    std::map<std::wstring, ACCESS_MASK> entries;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(const_cast<ACL*>(dacl), i, &ace) ||
            static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        wchar_t* text = nullptr;
        if (::ConvertSidToStringSidW(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, &text)) {
            entries[text] = static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask;
            ::LocalFree(text);
        }
    }
    return entries;
}

std::map<std::wstring, ACCESS_MASK> AllowedEntriesOf(const std::wstring& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    const orvanta::UniqueLocal owner(descriptor);
    return AllowedEntries(dacl);
}

} // namespace testing_support
