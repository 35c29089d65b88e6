// Opening an FTP download: passive connection with the login question, the file's size,
// the restart position and the file itself.
#include "download/FtpSource.h"

#include "download/AsyncState.h"
#include "download/Authentication.h"
#include "download/CredentialStore.h"
#include "download/InternetDownloader.h"
#include "download/InternetSession.h"
#include "download/TransferRules.h"
#include "platform/Strings.h"

namespace orvanta {
namespace {

constexpr int kMaxLogins = 20;
const wchar_t kFtpRealm[] = L"FTP Server";

const wchar_t* NullWhenEmpty(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

uint32_t FtpSource::Open(const std::wstring& url, INTERNET_PORT port, const std::wstring& host,
                                     const std::wstring& user, const std::wstring& password, const std::wstring& path,
                                     uint64_t& resumeOffset, uint64_t& contentLength)
{
    if (credentials_ != nullptr)
        credentials_->ResetAttempt();
    uint32_t result = Connect(url, port, host, user, password);
    if (result == 0)
        result = OpenFile(path, resumeOffset, contentLength);
    if (result != 0)
        session_.CloseOpenHandles();
    return result;
}

uint32_t FtpSource::Connect(const std::wstring& url, INTERNET_PORT port, const std::wstring& host,
                                        std::wstring user, std::wstring password)
{
    uint32_t result = 0;
    for (int login = 0; login < kMaxLogins; ++login) {
        session_.PrepareCall(OperationKind::Connect);
        HINTERNET connection =
            wininet::InternetConnectW(session_.Handle(), host.c_str(), port, NullWhenEmpty(user), NullWhenEmpty(password),
                                      INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, session_.Context());
        result = session_.FinishOpen(connection, session_.Connection());
        if (!IsFtpLoginError(result))
            return result;
        if (!Authenticate(credentials_, questions_, nullptr, url, kFtpRealm, false, std::wstring(), user, password))
            return result;
    }
    return result;
}

uint32_t FtpSource::Command(const std::wstring& command)
{
    session_.PrepareCall(OperationKind::FtpCommand);
    const BOOL sent =
        wininet::FtpCommandW(session_.Connection(), FALSE, FTP_TRANSFER_TYPE_ASCII, command.c_str(), session_.Context(), nullptr);
    return session_.FinishCall(sent, false);
}

uint32_t FtpSource::RestartAt(uint64_t& resumeOffset)
{
    const uint32_t result = Command(L"REST " + DecimalText(resumeOffset));
    // A server that refuses the restart makes some WinINets fail the command with the reply
    // in the response text: that is a refusal like any other code than 350.
    if (result != 0 && result != ERROR_INTERNET_EXTENDED_ERROR)
        return result;
    if (result != 0 || FtpReplyCode(session_.LastResponseText()) != 350)
        resumeOffset = 0;
    return 0;
}

uint32_t FtpSource::OpenFile(const std::wstring& path, uint64_t& resumeOffset, uint64_t& contentLength)
{
    // Some servers refuse REST and SIZE in ASCII mode, so binary comes first. The size is asked
    // before the restart because nothing may come between REST and the transfer.
    if (Command(L"TYPE I") == DLERR_CANCELED)
        return DLERR_CANCELED;
    uint64_t announcedSize = 0;
    const uint32_t sizeResult = Command(L"SIZE " + path);
    if (sizeResult == DLERR_CANCELED)
        return DLERR_CANCELED;
    if (sizeResult == 0)
        announcedSize = FtpSizeFromReply(session_.LastResponseText());
    if (announcedSize != 0 && announcedSize <= resumeOffset)
        return DLERR_PARTIAL_TOO_LONG;

    if (resumeOffset != 0) {
        const uint32_t restarted = RestartAt(resumeOffset);
        if (restarted != 0)
            return restarted;
    }

    session_.PrepareCall(OperationKind::FtpOpenFile);
    HINTERNET file = wininet::FtpOpenFileW(session_.Connection(), path.c_str(), GENERIC_READ,
                                           FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, session_.Context());
    const uint32_t opened = session_.FinishOpen(file, session_.Request());
    if (opened != 0)
        return opened;

    DWORD high = 0;
    const DWORD low = wininet::FtpGetFileSize(session_.Request(), &high);
    uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR)
        size = 0;
    // Some WinINets do not know the size of an open FTP file; the SIZE reply does.
    contentLength = size != 0 ? size : announcedSize;
    if (contentLength != 0 && contentLength <= resumeOffset) {
        session_.CloseHandle(session_.Request());
        return DLERR_PARTIAL_TOO_LONG;
    }
    return 0;
}

} // namespace orvanta
