#include "download/ShareSource.h"

#include "download/Authentication.h"
#include "download/CredentialStore.h"
#include "download/InternetSession.h"
#include "download/MprApi.h"
#include "download/TransferRules.h"
#include "download/UrlParts.h"
#include "platform/Paths.h"
#include "platform/ProgressSink.h"

#include <winnetwk.h>

namespace orvanta {
namespace {

constexpr int kMaxLogins = 20;
constexpr DWORD kProgressIntervalMs = 200;
const wchar_t kShareRealm[] = L"Local Network Server";

DWORD ConnectShare(const std::wstring& root, const std::wstring& user, const std::wstring& password)
{
    NETRESOURCEW resource{};
    resource.dwScope = 0;
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpRemoteName = const_cast<wchar_t*>(root.c_str());
    return mpr::WNetAddConnection2W(&resource, password.c_str(), user.c_str(), 0);
}

struct CopyProgress {
    ProgressSink* sink = nullptr;
    uint64_t streamSize = 0;
    uint64_t streamCopied = 0;  // of the current stream
    uint64_t unreported = 0;
    uint64_t reported = 0;      // handed to the sink, all streams
    DWORD lastReportTick = 0;
};

DWORD CALLBACK OnCopyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER streamSize,
                              LARGE_INTEGER streamTransferred, DWORD, DWORD reason, HANDLE, HANDLE, LPVOID data)
{
    auto& progress = *static_cast<CopyProgress*>(data);
    if (reason == CALLBACK_STREAM_SWITCH) {
        progress.streamCopied = 0;
        progress.streamSize = static_cast<uint64_t>(streamSize.QuadPart);
    }
    if (progress.sink == nullptr)
        return PROGRESS_CONTINUE;
    if (progress.sink->IsCanceled())
        return PROGRESS_CANCEL;
    const auto copied = static_cast<uint64_t>(streamTransferred.QuadPart);
    if (copied > progress.streamCopied) {
        progress.unreported += copied - progress.streamCopied;
        progress.streamCopied = copied;
    }
    const DWORD now = ::GetTickCount();
    const bool due =
        now - progress.lastReportTick >= kProgressIntervalMs || progress.streamCopied >= progress.streamSize;
    if (progress.unreported != 0 && due) {
        progress.sink->AddProgress(progress.unreported);
        progress.reported += progress.unreported;
        progress.unreported = 0;
        progress.lastReportTick = now;
    }
    return PROGRESS_CONTINUE;
}

} // namespace

uint32_t ShareSource::Open(const std::wstring& url, const std::wstring& path, const std::wstring& user,
                           const std::wstring& password, uint64_t& contentLength)
{
    const std::wstring root = ShareRootOf(path);
    context_.session.CloseOpenHandles();
    if (context_.credentials != nullptr)
        context_.credentials->ResetAttempt();
    std::wstring currentUser = user;
    std::wstring currentPassword = password;
    uint32_t result = 0;
    for (int login = 0; login < kMaxLogins; ++login) {
        // A local path has no share to log on to.
        result = (!currentUser.empty() && !root.empty()) ? ConnectShare(root, currentUser, currentPassword) : 0;
        if (result == 0)
            result = LookUpFile(path, contentLength);
        if (result == 0)
            break;
        if (!IsShareLoginError(result) ||
            !Authenticate(context_.credentials, context_.questions, nullptr, url, kShareRealm, false, std::wstring(), currentUser,
                          currentPassword))
            return result;
    }
    return result;
}

uint32_t ShareSource::LookUpFile(const std::wstring& path, uint64_t& contentLength)
{
    if (path.empty())
        return ERROR_INVALID_PARAMETER;
    if (!IsAbsoluteTargetPath(path))
        return ERROR_PATH_NOT_FOUND;
    // Attributes rather than a find: a '*' or '?' in the path must not match some other file.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(MakeLongPath(path).c_str(), GetFileExInfoStandard, &data))
        return ::GetLastError();
    contentLength = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return 0;
}

DWORD ShareSource::Copy(const std::wstring& source, const std::wstring& partialPath, const std::wstring& target,
                        ProgressSink* sink)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const uint64_t sourceSize = ::GetFileAttributesExW(MakeLongPath(source).c_str(), GetFileExInfoStandard, &data)
                                    ? (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow
                                    : 0;
    if (sink != nullptr)
        sink->BeginTransfer(1, sourceSize, target);
    CopyProgress progress;
    progress.sink = sink;
    progress.lastReportTick = ::GetTickCount();
    if (!::CopyFileExW(MakeLongPath(source).c_str(), MakeLongPath(partialPath).c_str(), OnCopyProgress, &progress,
                       nullptr, 0))
        return ::GetLastError();
    // Some systems copy without ever calling the progress routine: the rest is reported here.
    if (sink != nullptr && progress.reported < sourceSize)
        sink->AddProgress(sourceSize - progress.reported);
    return 0;
}

} // namespace orvanta
