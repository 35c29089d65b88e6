#include "platform/Logger.h"

#include "platform/OsVersion.h"
#include "platform/AclBuilder.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/SystemFunction.h"

#include <intrin.h>
#include <shlobj.h>

#include <cstring>

namespace orvanta {

std::atomic<bool> LogEnabled{false};

namespace {

#if defined(_WIN64)
const wchar_t kBanner[] = L"\r\n<< Orvanta (x64) Log >>\r\n";
#else
const wchar_t kBanner[] = L"\r\n<< Orvanta (x86) Log >>\r\n";
#endif
const wchar_t kFooter[] = L"=====================End of Log=====================\r\n";
const wchar_t kLogFolder[] = L"ORVANTA_LOGS";

// Constructed before the entry point, destroyed after it; the footer is written then.
struct LoggerLifetime {
    LoggerLifetime() { Logger::Instance(); }
    ~LoggerLifetime()
    {
        if (LogEnabled)
            Logger::Instance().WriteFooter();
    }
} g_loggerLifetime;

std::wstring CommonAppDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &items))) {
        const BOOL found = ::SHGetPathFromIDListW(items, path);
        ::CoTaskMemFree(items);
        if (found)
            return path;
    }
    using SHGetSpecialFolderPathFn = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
    const UniqueModule shell = LoadSystemLibrary(L"Shell32.dll");
    if (!shell)
        return {};
    const auto getPath = GetModuleFunction<SHGetSpecialFolderPathFn>(shell.Get(), "SHGetSpecialFolderPathW");
    if (getPath != nullptr && getPath(nullptr, path, CSIDL_COMMON_APPDATA, FALSE))
        return path;
    return {};
}

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolderForEveryone(const std::wstring& folder)
{
    AclBuilder acl;
    acl.AddEntry(L"Everyone", false);
    PSECURITY_DESCRIPTOR descriptor = acl.Build();
    if (descriptor == nullptr)
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    return ::CreateDirectoryW(folder.c_str(), &attributes) == TRUE;
}

std::wstring ModuleFileName()
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return std::wstring(buffer, length < MAX_PATH ? length : 0);
}

std::wstring ReplaceExtensionWithLog(const std::wstring& path)
{
    const size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos ? path + L".LOG" : path.substr(0, dot + 1) + L"LOG";
}

std::wstring Timestamp()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return Format(L"%04d-%02d-%02d %02d-%02d-%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
}

} // namespace

std::wstring LogFileNameFor(const std::wstring& modulePath)
{
    return ReplaceExtensionWithLog(GetFileNamePart(modulePath));
}

std::wstring LogFallbackCandidate(int attempt)
{
    const std::wstring modulePath = ModuleFileName();
    switch (attempt) {
    case 0: {
        const std::wstring common = CommonAppDataFolder();
        if (common.empty())
            return {};
        const std::wstring folder = WithTrailingBackslash(common) + kLogFolder;
        if (!FolderExists(folder) && !CreateFolderForEveryone(folder))
            return {};
        return folder + L"\\" + LogFileNameFor(modulePath);
    }
    case 1:
        return ReplaceExtensionWithLog(modulePath);
    case 2: {
        wchar_t temp[MAX_PATH];
        const DWORD length = ::GetTempPathW(MAX_PATH, temp);
        if (length == 0 || length >= MAX_PATH)
            return {};
        const std::wstring folder = std::wstring(temp, length) + kLogFolder;
        if (!::CreateDirectoryW(folder.c_str(), nullptr))
            return {};
        return folder + L"\\" + LogFileNameFor(modulePath);
    }
    default:
        return {};
    }
}

std::wstring OsVersionHeaderLine()
{
    const OsVersionInfo& os = GetOsVersionInfo();
    return Format(L"OS Version: %u.%u.%u SP%u (%ls) [%ls]", os.major, os.minor, os.build, os.servicePack,
                  os.server ? L"server" : L"workstation", os.wow64 ? L"x64" : L"x86");
}

std::wstring CpuHeaderLine()
{
    int registers[4] = {};
    __cpuid(registers, static_cast<int>(0x80000000));
    if (static_cast<unsigned>(registers[0]) < 0x80000004u)
        return L"CPU: UnkownCPU";
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
        __cpuid(registers, static_cast<int>(0x80000002u + leaf));
        std::memcpy(brand + leaf * 16, registers, 16);
    }
    return L"CPU: " + AnsiToWide(std::string(brand));
}

Logger& Logger::Instance()
{
    static Logger logger;
    return logger;
}

Logger::Logger() : banner_(kBanner) {}

Logger::~Logger()
{
    CloseFile();
}

void Logger::SetLogFile(const std::wstring& path)
{
    const CriticalSectionLock lock(lock_);
    ::OutputDebugStringW(Format(L"Logger::SetLogFile( %ls ) while OLD path is:%ls", path.c_str(), path_.c_str()).c_str());
    if (!(file_.IsValid() && path == path_))
        path_ = path;
}

void Logger::Log(const std::wstring& message)
{
    const CriticalSectionLock lock(lock_);
    WriteLine(message);
}

bool Logger::LogWithin(const std::wstring& message, DWORD timeoutMs)
{
    for (DWORD waited = 0; !lock_.TryEnter(); waited += 10) {
        if (waited >= timeoutMs)
            return false;
        ::Sleep(10);
    }
    struct Release {
        CriticalSection& section;
        ~Release() { section.Leave(); }
    } release{lock_};
    WriteLine(message);
    return true;
}

void Logger::WriteLine(const std::wstring& message)
{
    EnsureOpen();
    WritePiece(Timestamp());
    WritePiece(L"-");
    WritePiece(message);
    WritePiece(L"\r\n");
}

void Logger::WriteFooter()
{
    Log(kFooter);
}

void Logger::ResetForTesting()
{
    const CriticalSectionLock lock(lock_);
    CloseFile();
    path_.clear();
}

std::wstring Logger::CurrentPath()
{
    const CriticalSectionLock lock(lock_);
    return path_;
}

void Logger::EnsureOpen()
{
    if (file_.IsValid())
        return;
    int attempt = 0;
    for (;;) {
        if (path_.empty()) {
            path_ = LogFallbackCandidate(attempt++);
            if (path_.empty())
                return;
        }
        if (OpenPath())
            return;
        if (!file_.IsValid() && path_.empty())
            continue;
        return;  // opened with an unexpected status: gave up
    }
}

// True when the file is open and its header written. False with an empty path when the open
// failed (the caller tries the next candidate); false with the path kept when it gave up.
bool Logger::OpenPath()
{
    file_.Reset(::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD status = ::GetLastError();
    if (!file_.IsValid()) {
        ::OutputDebugStringW((L"LOGGER->failed to create LOG at:" + path_).c_str());
        path_.clear();
        return false;
    }
    if (status == ERROR_ALREADY_EXISTS) {
        ::OutputDebugStringW((L"LOGGER->Reusing LOG file at:" + path_ + L"\r\n").c_str());
        ::SetFilePointer(file_.Get(), 0, nullptr, FILE_END);
    } else if (status == ERROR_SUCCESS) {
        ::OutputDebugStringW((L"LOGGER->Creating LOG file at:" + path_ + L"\r\n").c_str());
        const unsigned char bom[] = {0xFF, 0xFE};
        DWORD written = 0;
        ::WriteFile(file_.Get(), bom, sizeof(bom), &written, nullptr);
        ::FlushFileBuffers(file_.Get());
    } else {
        CloseFile();
        return false;
    }
    WriteHeader();
    return true;
}

void Logger::WriteHeader()
{
    WritePiece(banner_);
    WritePiece(OsVersionHeaderLine() + L"\r\n");
    WritePiece(CpuHeaderLine() + L"\r\n");
    WritePiece(L"\r\n");
}

void Logger::WritePiece(const std::wstring& text)
{
    if (!file_.IsValid())
        return;
    DWORD written = 0;
    ::WriteFile(file_.Get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::FlushFileBuffers(file_.Get());
}

void Logger::CloseFile()
{
    file_.Reset();
}

void LogLine(const std::wstring& message)
{
    if (LogEnabled)
        Logger::Instance().Log(message);
}

} // namespace orvanta
