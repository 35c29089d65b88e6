// Writing the download into the ".part" file: the read loop with progress, pause and cancel,
// the reconnection after a drop, and the final rename.
#include "download/AsyncState.h"
#include "download/InternetDownloader.h"
#include "download/TransferRules.h"
#include "platform/Paths.h"
#include "platform/ProgressSink.h"

#include <algorithm>
#include <vector>

namespace orvanta {
namespace {

// Each read asks for a full buffer: an asynchronous InternetReadFile completes when the buffer
// is full or the data ends, so the loop does not depend on how much InternetQueryDataAvailable
// would announce (never more than 8 KiB under some WinINets, which costs most of the speed).
// With 256 KiB per call the per-call overhead of the asynchronous mode stops showing.
constexpr DWORD kTransferBufferBytes = 256 * 1024;

uint64_t FileSizeOf(HANDLE file)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

bool SetFilePosition(HANDLE file, uint64_t position)
{
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

} // namespace

uint32_t InternetDownloader::TransferToFile(uint64_t resumeOffset, uint64_t contentLength)
{
    if (sink_ != nullptr)
        sink_->BeginTransfer(1, contentLength, targetPath_);
    if (IsCanceled())
        return DLERR_CANCELED;
    const DWORD folderResult = CreateFolderTree(targetPath_, false);
    if (folderResult != 0) {
        Report(nullptr, folderResult);
        return folderResult;
    }
    UniqueFile file;
    const uint32_t openResult = OpenPartialFile(resumeOffset, file);
    if (openResult != 0) {
        if (IsCanceled())
            return DLERR_CANCELED;
        ReportForTarget(openResult);
        return openResult;
    }
    hasher_.reset(new StreamHasher(settings_.wantMd5, settings_.wantSha256));
    const uint32_t hashResult = HashExistingBytes(file.Get(), resumeOffset);
    if (hashResult != 0) {
        if (hashResult != DLERR_CANCELED)
            ReportForTarget(hashResult);
        return hashResult;
    }
    if (sink_ != nullptr)
        sink_->AddProgress(resumeOffset);
    session_.State().buffer.resize(kTransferBufferBytes);

    DropTracker drops{resumeOffset, 0};
    uint64_t written = resumeOffset;
    // A read that fails loses what it had gathered; after such a failure only what is already
    // there is read, so a connection that keeps failing still makes progress.
    bool readAvailableOnly = false;
    for (;;) {
        DWORD read = 0;
        const uint32_t readResult = readAvailableOnly ? ReadAvailable(read) : ReadChunk(kTransferBufferBytes, read);
        if (readResult == DLERR_CANCELED)
            return readResult;
        if (readResult == 0 && read != 0) {
            // A server that sends more than it announced, or than the file may have, is cut
            // off before the excess reaches the disk.
            const uint64_t limit = contentLength != 0 ? contentLength : settings_.expectedSize;
            if (limit != 0 && read > limit - std::min(written, limit))
                return FailOverlongTransfer(file);
            const uint32_t writeResult = WriteChunk(file.Get(), read);
            if (writeResult != 0) {
                ReportForTarget(writeResult);
                return writeResult;
            }
            written += read;
            if (IsCanceled())
                return DLERR_CANCELED;
            continue;
        }

        uint32_t failure = readResult;
        if (readResult == 0) {
            if (contentLength == 0 || written >= contentLength)
                break;  // complete
            failure = DLERR_INCOMPLETE;
        } else if (IsDropError(readResult)) {
            readAvailableOnly = true;
        } else {
            ReportForTarget(readResult);
            return readResult;
        }
        const uint32_t recovered = RecoverFromDrop(file.Get(), failure, contentLength, drops);
        if (recovered == DLERR_CANCELED)
            return recovered;
        if (recovered != 0) {
            ReportForTarget(recovered);
            return recovered;
        }
        // A continuation starts where the file ends: only written bytes were hashed.
        written = FileSizeOf(file.Get());
    }
    file.Reset();
    digests_ = hasher_->Finish();
    hasher_.reset();
    return FinishPartialFile();
}

uint32_t InternetDownloader::HashExistingBytes(HANDLE file, uint64_t size)
{
    if (!hasher_->Active() || size == 0)
        return 0;
    if (!SetFilePosition(file, 0))
        return ::GetLastError();
    std::vector<char> buffer(kTransferBufferBytes);
    for (uint64_t left = size; left > 0;) {
        const DWORD wanted = left < kTransferBufferBytes ? static_cast<DWORD>(left) : kTransferBufferBytes;
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), wanted, &read, nullptr))
            return ::GetLastError();
        if (read == 0)
            return ERROR_HANDLE_EOF;
        hasher_->Feed(buffer, read);
        left -= read;
        if (IsCanceled())
            return DLERR_CANCELED;
    }
    return SetFilePosition(file, size) ? 0 : ::GetLastError();
}

uint32_t InternetDownloader::FailOverlongTransfer(UniqueFile& file)
{
    // What arrived is not the file: nothing of it is worth continuing.
    file.Reset();
    ::DeleteFileW(MakeLongPath(partialPath_).c_str());
    ReportForTarget(DLERR_SIZE_MISMATCH);
    return DLERR_SIZE_MISMATCH;
}

uint32_t InternetDownloader::RecoverFromDrop(HANDLE file, uint32_t failure, uint64_t& contentLength,
                                             DropTracker& drops)
{
    for (;;) {
        // A read that a cancel could not interrupt (some WinINets read FTP synchronously) ends
        // here: no new connection after the user canceled.
        if (IsCanceled())
            return DLERR_CANCELED;
        // Reconnections that bring no new byte are limited like the attempts of an open.
        const uint64_t size = FileSizeOf(file);
        drops.fruitless = size > drops.sizeAtLastReconnect ? 0 : drops.fruitless + 1;
        drops.sizeAtLastReconnect = size;
        if (!reconnectOnDrop_ || drops.fruitless > kRetryCount)
            return failure;
        bool rangeIgnored = false;
        const uint32_t result = Reconnect(file, contentLength, rangeIgnored);
        // A reopen that is itself cut off is one more drop.
        if (result == 0 || rangeIgnored || !IsDropError(result))
            return result;
        failure = result;
    }
}

uint32_t InternetDownloader::OpenPartialFile(uint64_t resumeOffset, UniqueFile& file)
{
    file.Reset(::CreateFileW(MakeLongPath(partialPath_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             resumeOffset != 0 ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ::GetLastError();
    if (resumeOffset != 0) {
        // The server continues at the offset: anything past it would be stale.
        if (!SetFilePosition(file.Get(), resumeOffset) || !::SetEndOfFile(file.Get()))
            return ::GetLastError();
    }
    return 0;
}

uint32_t InternetDownloader::ReadChunk(DWORD size, DWORD& bytesRead)
{
    AsyncState& state = session_.State();
    state.bytesTransferred = 0;
    session_.PrepareCall(OperationKind::ReadFile);
    const BOOL done = wininet::InternetReadFile(session_.Request(), state.buffer.data(), size, &state.bytesTransferred);
    const uint32_t result = session_.FinishCall(done, true);
    bytesRead = result == 0 ? state.bytesTransferred : 0;
    return result;
}

uint32_t InternetDownloader::ReadAvailable(DWORD& bytesRead)
{
    AsyncState& state = session_.State();
    bytesRead = 0;
    state.bytesTransferred = 0;
    session_.PrepareCall(OperationKind::QueryDataAvailable);
    const BOOL done = wininet::InternetQueryDataAvailable(session_.Request(), &state.bytesTransferred, 0, 0);
    const uint32_t result = session_.FinishCall(done, true);
    if (result != 0)
        return result;
    // A query that completed later may report the count only in the completion's error field.
    DWORD available = state.bytesTransferred;
    if (!done && available == 0)
        available = static_cast<DWORD>(state.asyncError.load());
    if (available == 0)
        return 0;  // end of data
    return ReadChunk(available < kTransferBufferBytes ? available : kTransferBufferBytes, bytesRead);
}

uint32_t InternetDownloader::WriteChunk(HANDLE file, DWORD bytes)
{
    DWORD written = 0;
    if (!::WriteFile(file, session_.State().buffer.data(), bytes, &written, nullptr))
        return ::GetLastError();
    if (written != bytes)
        return ERROR_WRITE_FAULT;
    // The buffer goes to the hasher as it is, and the next read fills one the hasher is done
    // with: no copy. No read is in flight on it here, so WinINet never writes into the ring.
    if (hasher_)
        hasher_->Feed(session_.State().buffer, written);
    if (sink_ != nullptr) {
        sink_->AddProgress(written);
        session_.WaitWhilePaused(false);
    }
    return 0;
}

uint32_t InternetDownloader::Reconnect(HANDLE file, uint64_t& contentLength, bool& rangeIgnored)
{
    rangeIgnored = false;
    // The old connection is not reused: the new open makes its own.
    session_.CloseOpenHandles();
    ::FlushFileBuffers(file);
    const uint64_t size = FileSizeOf(file);
    uint64_t resumeOffset = size;
    uint64_t length = 0;
    const uint32_t result = OpenWithRetries(resumeOffset, length);
    if (result != 0)
        return result;
    if (size != 0 && resumeOffset != size) {
        // The server ignored the range: appending its bytes would corrupt the file.
        session_.CloseOpenHandles();
        rangeIgnored = true;
        return ERROR_INTERNET_TIMEOUT;
    }
    if (length != 0)
        contentLength = length;
    return 0;
}

uint32_t InternetDownloader::FinishPartialFile()
{
    const std::wstring partial = MakeLongPath(partialPath_);
    const std::wstring target = MakeLongPath(targetPath_);
    ::DeleteFileW(target.c_str());
    if (!::MoveFileW(partial.c_str(), target.c_str())) {
        if (!::CopyFileW(partial.c_str(), target.c_str(), FALSE)) {
            const DWORD error = ::GetLastError();
            ReportForTarget(error);
            return error;
        }
        ::DeleteFileW(partial.c_str());
    }
    if (sink_ != nullptr)
        sink_->Complete(1, 0);
    return 0;
}

} // namespace orvanta
