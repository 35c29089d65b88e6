// Reading the download into its ".part" file: the read loop with progress, pause and cancel,
// the reconnection after a drop, and the hand-over to the target.
#include "download/AsyncState.h"
#include "download/InternetDownloader.h"
#include "download/PartFile.h"
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
    PartFile file(partialPath_, settings_.wantMd5, settings_.wantSha256, settings_.wantPeImage);
    const uint32_t openResult = file.Open(resumeOffset);
    if (openResult != 0) {
        if (IsCanceled())
            return DLERR_CANCELED;
        ReportForTarget(openResult);
        return openResult;
    }
    const uint32_t hashResult = file.HashKeptBytes(resumeOffset, [this] { return IsCanceled(); }, DLERR_CANCELED);
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
            const uint32_t writeResult = WriteChunk(file, read);
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
        const uint32_t recovered = RecoverFromDrop(file, failure, contentLength, drops);
        if (recovered == DLERR_CANCELED)
            return recovered;
        if (recovered != 0) {
            ReportForTarget(recovered);
            return recovered;
        }
        // A continuation starts where the file ends: only written bytes were hashed.
        written = file.Size();
    }
    digests_ = file.Close();
    return FinishPartialFile();
}

uint32_t InternetDownloader::FailOverlongTransfer(PartFile& file)
{
    // What arrived is not the file: nothing of it is worth continuing.
    file.Discard();
    ReportForTarget(DLERR_SIZE_MISMATCH);
    return DLERR_SIZE_MISMATCH;
}

uint32_t InternetDownloader::RecoverFromDrop(PartFile& file, uint32_t failure, uint64_t& contentLength,
                                             DropTracker& drops)
{
    for (;;) {
        // A read that a cancel could not interrupt (some WinINets read FTP synchronously) ends
        // here: no new connection after the user canceled.
        if (IsCanceled())
            return DLERR_CANCELED;
        // Reconnections that bring no new byte are limited like the attempts of an open.
        const uint64_t size = file.Size();
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

uint32_t InternetDownloader::WriteChunk(PartFile& file, DWORD bytes)
{
    // No read is in flight on the buffer here, so WinINet never writes into the hasher's ring.
    const DWORD written = file.Write(session_.State().buffer, bytes);
    if (written != 0)
        return written;
    if (sink_ != nullptr) {
        sink_->AddProgress(bytes);
        session_.WaitWhilePaused(false);
    }
    return 0;
}

uint32_t InternetDownloader::Reconnect(PartFile& file, uint64_t& contentLength, bool& rangeIgnored)
{
    rangeIgnored = false;
    // The old connection is not reused: the new open makes its own.
    session_.CloseOpenHandles();
    file.Flush();
    const uint64_t size = file.Size();
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
    const DWORD moved = MovePartFileOntoTarget(partialPath_, targetPath_);
    if (moved != 0) {
        ReportForTarget(moved);
        return moved;
    }
    if (sink_ != nullptr)
        sink_->Complete(1, 0);
    return 0;
}

} // namespace orvanta
