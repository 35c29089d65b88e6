#include "platform/Logger.h"

#include "platform/OsVersion.h"
#include "platform/AclBuilder.h"
#include "platform/Paths.h"
#include "platform/Text.h"

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
// Everyone by its SID: the account's name differs between languages of Windows.
const wchar_t kEveryoneSid[] = L"S-1-1-0";

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
    std::wstring path;
    return GetSpecialFolderPath(CSIDL_COMMON_APPDATA, path) ? path : std::wstring();
}

bool IsReparsePoint(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// An elevated chainer must not write through a link that someone planted at the log path: the
// path is opened without following reparse points, and a link or a file with a second name (a
// hard link) is refused. `status` is the last error of the open (183 for an existing file).
HANDLE OpenLogFile(const std::wstring& path, DWORD& status)
{
    if (IsReparsePoint(::GetFileAttributesW(path.c_str())))
        return INVALID_HANDLE_VALUE;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    status = ::GetLastError();
    if (!file)
        return INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file.Get(), &information) ||
        IsReparsePoint(information.dwFileAttributes) || information.nNumberOfLinks > 1)
        return INVALID_HANDLE_VALUE;
    return file.Release();
}

bool CreateFolderForEveryone(const std::wstring& folder)
{
    AclBuilder acl;
    acl.AddEntry(kEveryoneSid, true);
    PSECURITY_DESCRIPTOR descriptor = acl.Build();
    if (descriptor == nullptr)
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    return ::CreateDirectoryW(folder.c_str(), &attributes) == TRUE;
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

std::wstring SharedLogFolder(const std::wstring& parent)
{
    const std::wstring folder = WithTrailingBackslash(parent) + kLogFolder;
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    // Anyone may create the folder before an elevated chainer does: a link there could send the
    // log anywhere.
    if (IsReparsePoint(attributes))
        return {};
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? folder : std::wstring();
    return CreateFolderForEveryone(folder) ? folder : std::wstring();
}

std::wstring LogFileNameFor(const std::wstring& modulePath)
{
    return ReplaceExtensionWithLog(GetFileNamePart(modulePath));
}

std::wstring LogFallbackCandidate(int attempt)
{
    const std::wstring modulePath = GetModulePath();
    switch (attempt) {
    case 0: {
        const std::wstring common = CommonAppDataFolder();
        const std::wstring folder = common.empty() ? std::wstring() : SharedLogFolder(common);
        if (folder.empty())
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

void Logger::Flush()
{
    const CriticalSectionLock lock(lock_);
    FlushFile();
}

bool Logger::LogAndFlushWithin(const std::wstring& message, DWORD timeoutMs)
{
    const BoundedCriticalSectionLock lock(lock_, timeoutMs);
    if (!lock.Held())
        return false;
    WriteLine(message);
    FlushFile();
    return true;
}

void Logger::WriteLine(const std::wstring& message)
{
    EnsureOpen();
    // One write per line: a reader of the file (or a process that dies) never sees half a line.
    const std::wstring line = Timestamp() + L"-" + message + L"\r\n";
    WriteBytes(line.data(), line.size() * sizeof(wchar_t));
}

void Logger::WriteFooter()
{
    const CriticalSectionLock lock(lock_);
    WriteLine(kFooter);
    FlushFile();
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
    DWORD status = 0;
    file_.Reset(OpenLogFile(path_, status));
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
    } else {
        CloseFile();
        return false;
    }
    WriteHeader(status == ERROR_SUCCESS);
    // The header tells which machine a log came from: it is worth one flush per run.
    FlushFile();
    return true;
}

void Logger::WriteHeader(bool withByteOrderMark)
{
    const std::wstring header =
        banner_ + OsVersionHeaderLine() + L"\r\n" + CpuHeaderLine() + L"\r\n" + L"\r\n";
    std::string bytes = withByteOrderMark ? std::string("\xFF\xFE") : std::string();
    bytes.append(reinterpret_cast<const char*>(header.data()), header.size() * sizeof(wchar_t));
    WriteBytes(bytes.data(), bytes.size());
}

void Logger::WriteBytes(const void* bytes, size_t size)
{
    if (!file_.IsValid() || size > MAXDWORD)
        return;
    DWORD written = 0;
    ::WriteFile(file_.Get(), bytes, static_cast<DWORD>(size), &written, nullptr);
}

void Logger::FlushFile()
{
    if (file_.IsValid())
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

void FlushLog()
{
    if (LogEnabled)
        Logger::Instance().Flush();
}

} // namespace orvanta
