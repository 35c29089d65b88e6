#include "run/ResultFile.h"

#include "config/FolderProperties.h"
#include "detection/FileVersion.h"
#include "download/UrlText.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "platform/SystemError.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"

#include <cstdio>

namespace orvanta {
namespace {

const int kFormatVersion = 1;

#if defined(_M_ARM64)
const char kArchitecture[] = "arm64";
#elif defined(_WIN64)
const char kArchitecture[] = "x64";
#else
const char kArchitecture[] = "x86";
#endif

// JSON's escapes for the ASCII characters that need one; UTF-8 sequences pass as they are (none
// of their bytes is below 0x80).
void AppendEscaped(std::string& out, char c)
{
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(byte));
        out += escape;
        return;
    }
    out += c;
}

std::string Number(int64_t value)
{
    return std::to_string(value);
}

std::string Bool(bool value)
{
    return value ? "true" : "false";
}

std::string Time(const SYSTEMTIME& time)
{
    char text[32];
    std::snprintf(text, sizeof(text), "\"%04u-%02u-%02uT%02u:%02u:%02uZ\"", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond);
    return text;
}

const char* DecisionName(PrereqDecision decision)
{
    switch (decision) {
    case AcceptableFound: return "acceptableFound";
    case InstallFromPackage: return "installFromPackage";
    case Download: return "download";
    case OpenSite: return "openSite";
    case OsNotSupported: return "osNotSupported";
    case AlreadyDownloaded: return "alreadyDownloaded";
    case NotFound: return "notFound";
    case NotSelected: return "notSelected";
    default: return "undefined";
    }
}

const char* ActionName(PrereqAction action)
{
    switch (action) {
    case PrereqAction::InstalledFromPackage: return "installedFromPackage";
    case PrereqAction::DownloadedAndInstalled: return "downloadedAndInstalled";
    case PrereqAction::InstalledFromDownload: return "installedFromDownload";
    case PrereqAction::DownloadFailed: return "downloadFailed";
    case PrereqAction::SiteOpened: return "siteOpened";
    case PrereqAction::NotStarted: return "notStarted";
    case PrereqAction::SkippedByOs: return "skippedByOs";
    case PrereqAction::SkippedByLanguage: return "skippedByLanguage";
    case PrereqAction::SkippedByProcessor: return "skippedByProcessor";
    case PrereqAction::NotSelected: return "notSelected";
    default: return "none";
    }
}

const char* CheckName(CheckOutcome outcome)
{
    switch (outcome) {
    case CheckOutcome::Passed: return "passed";
    case CheckOutcome::Failed: return "failed";
    case CheckOutcome::NotChecked: return "notChecked";
    default: return "notGiven";
    }
}

struct EndText {
    const char* outcome;
    const char* meaning;
};

EndText EndTextFor(RunEnd end)
{
    switch (end) {
    case RunEnd::Completed: return {"completed", "Everything needed is installed, or nothing was to do."};
    case RunEnd::MandatoryMissing: return {"mandatoryMissing", "A mandatory prerequisite is still missing."};
    case RunEnd::RebootPending: return {"rebootRequired", "A restart is required to finish the installation."};
    case RunEnd::RebootStarted: return {"rebootStarted", "A restart of the machine was started."};
    case RunEnd::AlreadyRunning: return {"alreadyRunning", "Another run of the same package is under way."};
    case RunEnd::Canceled: return {"canceled", "The user canceled the run."};
    case RunEnd::CanceledMandatoryMissing:
        return {"canceledMandatoryMissing", "The user canceled the run; a mandatory prerequisite is still missing."};
    default: return {"failed", "The run stopped on an unexpected error; the report is in the log."};
    }
}

std::string DownloadJson(const PrereqRecord& record)
{
    if (!record.downloadTried)
        return "null";
    const DownloadResult& download = record.download;
    const std::string url = download.servedUrl.empty() ? "null" : JsonString(UrlWithoutCredentials(download.servedUrl));
    return "{\"url\": " + url + ", \"mirror\": " + Number(download.mirror) +
           ", \"bytesReceived\": " + Number(static_cast<int64_t>(download.bytesReceived)) +
           ", \"result\": " + Number(download.code) + ", \"checks\": {\"size\": \"" + CheckName(download.checks.size) +
           "\", \"md5\": \"" + CheckName(download.checks.md5) + "\", \"sha256\": \"" + CheckName(download.checks.sha256) +
           "\", \"signer\": \"" + CheckName(download.checks.signer) + "\"}}";
}

std::string PrerequisiteJson(const PrereqRecord& record)
{
    const std::string install = record.installerRan ? "{\"returnCode\": " + Number(record.returnCode) +
                                                          ", \"durationMs\": " +
                                                          Number(static_cast<int64_t>(record.durationMs)) + "}"
                                                    : "null";
    return "    {\"name\": " + JsonString(record.name) + ", \"firstDecision\": \"" +
           DecisionName(record.firstDecision) + "\", \"finalDecision\": \"" + DecisionName(record.finalDecision) +
           "\", \"action\": \"" + ActionName(record.action) + "\",\n     \"download\": " + DownloadJson(record) +
           ",\n     \"install\": " + install +
           ", \"error\": " + (record.error.empty() ? std::string("null") : JsonString(record.error)) + "}";
}

std::wstring ChainerVersion()
{
    uint32_t high = 0;
    uint32_t low = 0;
    if (GetFileVersion(GetModulePath(), high, low) != 0)
        return L"";
    return Format(L"%u.%u.%u.%u", high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF);
}

void Log(const std::wstring& line)
{
    // Bounded: the end of a run that failed may find the log held by a thread that faulted.
    if (LogEnabled)
        Logger::Instance().LogAndFlushWithin(line, 1000);
}

} // namespace

std::string JsonString(const std::wstring& text)
{
    std::string out = "\"";
    for (const char c : ToUtf8(text))
        AppendEscaped(out, c);
    return out + "\"";
}

std::string ResultJson(const RunSummary& summary, const std::wstring& version)
{
    const EndText end = EndTextFor(summary.runEnd);
    std::string json = "{\n  \"formatVersion\": " + Number(kFormatVersion) + ",\n  \"chainer\": {\"version\": " +
                       JsonString(version) + ", \"architecture\": \"" + kArchitecture + "\"},\n" +
                       "  \"startTime\": " + Time(summary.start) + ", \"endTime\": " + Time(summary.end) + ",\n" +
                       "  \"exitCode\": " + Number(ExitCodeFor(summary.runEnd, summary.style)) +
                       ", \"exitCodes\": \"" + (summary.style == ExitCodeStyle::Msi ? "msi" : "classic") +
                       "\", \"outcome\": \"" + end.outcome + "\",\n  \"meaning\": \"" +
                       end.meaning + "\",\n  \"reboot\": {\"required\": " +
                       Bool(summary.reboot.required) + ", \"started\": " + Bool(summary.reboot.inProgress) +
                       ", \"refused\": " + Bool(summary.reboot.refused) + "},\n  \"prerequisites\": [";
    for (size_t i = 0; i < summary.prerequisites.size(); ++i)
        json += (i == 0 ? "\n" : ",\n") + PrerequisiteJson(summary.prerequisites[i]);
    return json + (summary.prerequisites.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

DWORD WriteFileReplacing(const std::wstring& path, const std::string& bytes)
{
    const std::wstring temporary = path + Format(L".%lu.tmp", ::GetCurrentProcessId());
    DWORD error = ERROR_SUCCESS;
    {
        const UniqueFile file(::CreateFileW(MakeLongPath(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return ::GetLastError();
        DWORD written = 0;
        // Flushed before the rename: after a power loss the name must not point at empty data.
        if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !::FlushFileBuffers(file.Get()))
            error = ::GetLastError();
    }
    if (error == ERROR_SUCCESS &&
        !::MoveFileExW(MakeLongPath(temporary).c_str(), MakeLongPath(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = ::GetLastError();
    if (error != ERROR_SUCCESS)
        ::DeleteFileW(MakeLongPath(temporary).c_str());
    return error;
}

std::wstring ResolveResultFile(const std::wstring& configured, const std::wstring& moduleFolder)
{
    if (configured.empty())
        return {};
    const std::wstring expanded = ExpandReferences(configured, false);
    if (IsAbsoluteTargetPath(expanded))
        return NormalizePath(expanded);
    return NormalizePath(WithTrailingBackslash(moduleFolder) + expanded);
}

void WriteResultFile(const RunRecord& record, RunEnd end, DWORD waitMs)
{
    // Only the bounded wait: a fault may have left the record's lock held.
    RunSummary summary;
    if (!record.Summarize(end, summary, waitMs)) {
        Log(L"Result file could not be written. The run's record is held by another thread.");
        return;
    }
    const std::wstring& path = summary.resultFile;
    if (path.empty())
        return;
    const DWORD error = WriteFileReplacing(path, ResultJson(summary, ChainerVersion()));
    if (error != ERROR_SUCCESS)
        Log(L"Result file could not be written: " + path + L". Error:" + GetSystemErrorText(error));
    else
        Log(L"Result file written: " + path);
}

} // namespace orvanta
