// The asynchronous WinINet session: opening and closing it, the wait that every asynchronous
// call shares, and the closing of handles.
#include "download/InternetSession.h"

#include "download/InternetDownloader.h"
#include "download/WinInetApi.h"
#include "platform/FaultTranslation.h"
#include "platform/ProgressSink.h"

#include <exception>
#include <utility>

namespace orvanta {
namespace {

// A handle with no call outstanding reports HANDLE_CLOSING at once; the limit only guards
// against a platform that never does.
constexpr DWORD kCloseWaitMs = 5000;
// Closing does not stop a running call under every WinINet (Wine lets a read on a stalled
// connection run on), so a canceled call gets only a short grace before its state is let go.
constexpr DWORD kOutstandingCloseWaitMs = 250;
constexpr DWORD kPollMs = 10;

// Waits for both events within `limitMs` in all.
bool WaitForClosing(AsyncState& state, DWORD limitMs)
{
    const ULONGLONG start = ::GetTickCount64();
    for (HANDLE event : {state.requestComplete.Get(), state.handleClosed.Get()}) {
        const ULONGLONG spent = ::GetTickCount64() - start;
        const DWORD left = spent >= limitMs ? 0 : static_cast<DWORD>(limitMs - spent);
        if (::WaitForSingleObject(event, left) != WAIT_OBJECT_0)
            return false;
    }
    return true;
}

} // namespace

uint32_t InternetSession::Open(const std::wstring& proxy)
{
    auto state = std::make_shared<AsyncState>();
    DWORD error = 0;
    if (!CreateAsyncEvents(*state, error))
        return error;
    state_ = std::move(state);
    stateAbandoned_ = false;
    connection_ = nullptr;
    request_ = nullptr;

    session_.Reset(wininet::InternetOpenW(L"Orvanta", !proxy.empty() ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_PRECONFIG,
                                          !proxy.empty() ? proxy.c_str() : nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!session_) {
        const DWORD error = ::GetLastError();
        return error != 0 ? error : ERROR_INTERNET_INTERNAL_ERROR;
    }
    wininet::InternetSetStatusCallbackW(session_.Get(), DownloaderStatusCallback);
    return 0;
}

void InternetSession::Close()
{
    CloseOpenHandles();
    if (session_) {
        wininet::InternetSetStatusCallbackW(session_.Get(), nullptr);
        session_.Reset();
    }
    // A failure of a notification that no call waited for must not go unreported.
    if (state_ && !stateAbandoned_ && std::uncaught_exceptions() == 0) {
        if (const std::exception_ptr failure = TakeCallbackFailure(*state_))
            EndRunWithReport(failure);
    }
}

void InternetSession::CloseOpenHandles()
{
    CloseHandle(request_);
    CloseHandle(connection_);
}

void InternetSession::PrepareCall(OperationKind kind)
{
    AsyncState& state = *state_;
    state.operationKind = kind;
    state.completed = false;
    state.pending = true;
    state.currentHandle = nullptr;
    ::ResetEvent(state.requestComplete.Get());
    // Wine's FtpOpenFileW returns NULL without an error while it runs on: a cleared error
    // tells that case apart from a real failure.
    ::SetLastError(0);
}

void InternetSession::CompleteAtOnce()
{
    AsyncState& state = *state_;
    state.pending = false;
    state.completed = true;
    ::SetEvent(state.requestComplete.Get());
}

uint32_t InternetSession::WaitForCall(DWORD callError, bool honourPause)
{
    AsyncState& state = *state_;
    if (callError != ERROR_IO_PENDING && callError != 0) {
        // Failed at once: nothing will complete later.
        state.pending = false;
        ::SetEvent(state.requestComplete.Get());
        return callError;
    }
    for (;;) {
        RethrowCallbackFailure();
        if (state.completed)
            return 0;
        if (honourPause)
            WaitWhilePaused(true);
        if (IsCanceled())
            return DLERR_CANCELED;
        ::WaitForSingleObject(state.requestComplete.Get(), kPollMs);
    }
}

uint32_t InternetSession::FinishOpen(HINTERNET returned, HINTERNET& handle)
{
    AsyncState& state = *state_;
    if (returned != nullptr) {
        if (state.operationKind == OperationKind::Connect || state.operationKind == OperationKind::FtpOpenFile)
            state.SetLastResponse(ReadLastResponseInfo());
        CompleteAtOnce();
        handle = returned;
        return 0;
    }
    const DWORD callError = ::GetLastError();
    if (callError != ERROR_IO_PENDING && callError != 0)
        state.SetLastResponse(ReadLastResponseInfo());
    const uint32_t waited = WaitForCall(callError, false);
    if (waited == DLERR_CANCELED) {
        // The open runs on; the handle it may still bring is nobody's (it was never learned).
        AbandonState();
        return waited;
    }
    if (waited != 0)
        return waited;
    handle = state.currentHandle.exchange(nullptr);
    if (handle != nullptr)
        return 0;
    return state.asyncError != 0 ? state.asyncError.load() : ERROR_INTERNET_INTERNAL_ERROR;
}

uint32_t InternetSession::FinishCall(BOOL returned, bool honourPause)
{
    AsyncState& state = *state_;
    if (returned) {
        if (state.operationKind == OperationKind::FtpCommand)
            state.SetLastResponse(ReadLastResponseInfo());
        CompleteAtOnce();
        return 0;
    }
    const DWORD callError = ::GetLastError();
    if (callError != ERROR_IO_PENDING && callError != 0 && state.operationKind == OperationKind::FtpCommand)
        state.SetLastResponse(ReadLastResponseInfo());
    const uint32_t waited = WaitForCall(callError, honourPause);
    if (waited != 0)
        return waited;
    if (state.asyncResult != 0)
        return 0;
    return state.asyncError != 0 ? state.asyncError.load() : ERROR_INTERNET_INTERNAL_ERROR;
}

void InternetSession::CloseHandle(HINTERNET& handle)
{
    HINTERNET closing = handle;
    handle = nullptr;
    if (closing == nullptr)
        return;
    if (!state_ || stateAbandoned_) {
        wininet::InternetCloseHandle(closing);
        return;
    }
    AsyncState& state = *state_;
    const bool callOutstanding = state.pending;
    ::ResetEvent(state.handleClosed.Get());
    wininet::InternetCloseHandle(closing);
    // A close that does not complete in time leaves a call running that will still write into
    // the state and its buffer.
    if (!WaitForClosing(state, callOutstanding ? kOutstandingCloseWaitMs : kCloseWaitMs))
        AbandonState();
}

void InternetSession::AbandonState()
{
    AsyncState& state = *state_;
    HINTERNET unclaimed = nullptr;
    std::exception_ptr failure;
    {
        const CriticalSectionLock lock(state.abandonLock);
        state.abandoned = true;
        // An open that completed after the wait gave up left its handle here.
        if (state.completed && IsOpenKind(state.operationKind))
            unclaimed = state.currentHandle.exchange(nullptr);
        failure = TakeCallbackFailure(state);
    }
    // Abandoning may happen while closing handles on the way out: the failure is not thrown.
    if (failure && std::uncaught_exceptions() == 0)
        EndRunWithReport(failure);
    if (unclaimed != nullptr && unclaimed != connection_ && unclaimed != request_)
        wininet::InternetCloseHandle(unclaimed);
    // Whatever still completes writes into the state and its buffers: they stay alive.
    KeepForever(state_);
    stateAbandoned_ = true;
}

void InternetSession::RethrowCallbackFailure()
{
    if (const std::exception_ptr failure = TakeCallbackFailure(*state_))
        std::rethrow_exception(failure);
}

void InternetSession::WaitWhilePaused(bool leaveOnCompletion)
{
    if (sink_ == nullptr)
        return;
    while (sink_->IsPaused()) {
        if ((leaveOnCompletion && state_ && state_->completed) || sink_->IsCanceled())
            return;
        ::Sleep(kPollMs);
    }
}

bool InternetSession::IsCanceled() const
{
    return sink_ != nullptr && sink_->IsCanceled();
}

std::wstring InternetSession::LastResponseText() const
{
    return state_ ? state_->LastResponse() : std::wstring();
}

} // namespace orvanta
