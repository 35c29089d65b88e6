// The asynchronous WinINet session: opening it, the status callback, the wait that every
// asynchronous call shares, and the closing of handles.
#include "download/AsyncState.h"
#include "download/InternetDownloader.h"
#include "platform/FaultTranslation.h"
#include "platform/ProgressSink.h"

#include <utility>

#if defined(ORVANTA_FAULT_INJECTION)
// Test builds of the chainer only (tests/helpers/FaultInjection.cpp): faults when asked to.
void InjectStatusCallbackFault(DWORD status);
#endif

namespace orvanta {
namespace {

// A handle with no call outstanding reports HANDLE_CLOSING at once; the limit only guards
// against a platform that never does.
constexpr DWORD kCloseWaitMs = 5000;
// Closing does not stop a running call under every WinINet (Wine lets a read on a stalled
// connection run on), so a canceled call gets only a short grace before its state is let go.
constexpr DWORD kOutstandingCloseWaitMs = 250;
constexpr DWORD kPollMs = 10;
constexpr DWORD kResponseBufferChars = 1000;

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

// The handle of an open that completed: kept for the engine, or closed when the engine has let go
// of the call. Closing it here is the only way it is ever closed.
void TakeOpenedHandle(AsyncState& state, HINTERNET handle)
{
    {
        const CriticalSectionLock lock(state.abandonLock);
        if (!state.abandoned) {
            state.currentHandle = handle;
            return;
        }
    }
    if (handle != nullptr)
        wininet::InternetCloseHandle(handle);
}

} // namespace

bool IsOpenKind(OperationKind kind)
{
    const auto value = static_cast<uint32_t>(kind);
    return value == 0 || value == 1 || value == 2 || value == 5 || value == 6;
}

std::wstring AsyncState::LastResponse()
{
    const CriticalSectionLock lock(responseLock);
    return lastResponse;
}

void AsyncState::SetLastResponse(std::wstring text)
{
    const CriticalSectionLock lock(responseLock);
    lastResponse = std::move(text);
}

HANDLE CreateManualResetEvent()
{
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

bool CreateAsyncEvents(AsyncState& state, DWORD& error, HANDLE (*create)())
{
    // Each error is read right after its own call: a later call that succeeds may clear it.
    for (UniqueHandle* event : {&state.requestComplete, &state.handleClosed}) {
        event->Reset(create());
        if (!*event) {
            const DWORD created = ::GetLastError();
            error = created != 0 ? created : ERROR_NOT_ENOUGH_MEMORY;
            return false;
        }
    }
    return true;
}

std::wstring ReadLastResponseInfo()
{
    std::wstring buffer(kResponseBufferChars, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD error = 0;
        DWORD length = static_cast<DWORD>(buffer.size());
        if (wininet::InternetGetLastResponseInfoW(&error, &buffer[0], &length)) {
            buffer.resize(length < buffer.size() ? length : buffer.size());
            return buffer;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return {};
        buffer.assign(static_cast<size_t>(length) + 1, L'\0');
    }
    return {};
}

void KeepForever(const std::shared_ptr<AsyncState>& state)
{
    static CriticalSection lock;
    // Never destroyed: WinINet's threads may still reach these states at process exit.
    static auto* kept = new std::vector<std::shared_ptr<AsyncState>>();
    const CriticalSectionLock guard(lock);
    kept->push_back(state);
}

namespace {

void HandleStatus(AsyncState* state, DWORD status, LPVOID information)
{
#if defined(ORVANTA_FAULT_INJECTION)
    InjectStatusCallbackFault(status);
#endif
    switch (status) {
    case INTERNET_STATUS_CONNECTION_CLOSED:
        state->connectionClosed = true;
        break;
    case INTERNET_STATUS_HANDLE_CLOSING:
        ::SetEvent(state->handleClosed.Get());
        break;
    case INTERNET_STATUS_REQUEST_COMPLETE: {
        const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(information);
        state->asyncError = result != nullptr ? result->dwError : ERROR_INTERNET_INTERNAL_ERROR;
        state->asyncResult = result != nullptr ? result->dwResult : 0;
        const OperationKind kind = state->operationKind;
        if (IsOpenKind(kind))
            TakeOpenedHandle(*state, reinterpret_cast<HINTERNET>(state->asyncResult.load()));
        // The reply text is kept per thread: it must be read on the thread that completed the call.
        if (IsOpenKind(kind) || kind == OperationKind::FtpCommand)
            state->SetLastResponse(ReadLastResponseInfo());
        state->pending = false;
        state->completed = true;
        ::SetEvent(state->requestComplete.Get());
        break;
    }
    default:
        break;
    }
}

// Keeps the failure for the thread that waits for the call and wakes it; that thread rethrows
// it. A call the engine has let go of has nobody waiting: the run ends with the report here.
// handleClosed is left alone: a close that never completes must still abandon the state, which
// WinINet may go on using.
void HandOverFailure(AsyncState& state, std::exception_ptr failure)
{
    bool kept = false;
    {
        const CriticalSectionLock lock(state.abandonLock);
        if (!state.abandoned) {
            if (!state.callbackFailure)
                state.callbackFailure = failure;
            kept = true;
        }
    }
    if (!kept)
        EndRunWithReport(failure);
    ::SetEvent(state.requestComplete.Get());
}

std::exception_ptr TakeCallbackFailure(AsyncState& state)
{
    const CriticalSectionLock lock(state.abandonLock);
    return std::exchange(state.callbackFailure, nullptr);
}

} // namespace

void CALLBACK DownloaderStatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information, DWORD)
{
    auto* state = reinterpret_cast<AsyncState*>(context);
    if (state == nullptr)
        return;  // the session handle has no context
    // WinINet's thread runs this: a fault here must reach the chainer's own crash path.
    const std::exception_ptr failure =
        RunContained([state, status, information] { HandleStatus(state, status, information); });
    if (failure)
        HandOverFailure(*state, failure);
}

uint32_t InternetDownloader::OpenSession()
{
    auto state = std::make_shared<AsyncState>();
    DWORD error = 0;
    if (!CreateAsyncEvents(*state, error))
        return error;
    state_ = std::move(state);
    stateAbandoned_ = false;

    const std::wstring& proxy = settings_.proxy;
    session_.Reset(wininet::InternetOpenW(L"Orvanta", !proxy.empty() ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_PRECONFIG,
                                          !proxy.empty() ? proxy.c_str() : nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!session_) {
        const DWORD error = ::GetLastError();
        return error != 0 ? error : ERROR_INTERNET_INTERNAL_ERROR;
    }
    wininet::InternetSetStatusCallbackW(session_.Get(), DownloaderStatusCallback);
    return 0;
}

void InternetDownloader::CloseSession()
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

void InternetDownloader::CloseOpenHandles()
{
    CloseInternetHandle(currentHandle_);
    CloseInternetHandle(connection_);
}

DWORD_PTR InternetDownloader::Context() const
{
    return reinterpret_cast<DWORD_PTR>(state_.get());
}

void InternetDownloader::PrepareCall(OperationKind kind)
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

void InternetDownloader::CompleteAtOnce()
{
    AsyncState& state = *state_;
    state.pending = false;
    state.completed = true;
    ::SetEvent(state.requestComplete.Get());
}

uint32_t InternetDownloader::WaitForCall(DWORD callError, bool honourPause)
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

uint32_t InternetDownloader::FinishOpen(HINTERNET returned, HINTERNET& handle)
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

uint32_t InternetDownloader::FinishCall(BOOL returned, bool honourPause)
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

void InternetDownloader::CloseInternetHandle(HINTERNET& handle)
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

void InternetDownloader::AbandonState()
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
    if (unclaimed != nullptr && unclaimed != connection_ && unclaimed != currentHandle_)
        wininet::InternetCloseHandle(unclaimed);
    // Whatever still completes writes into the state and its buffers: they stay alive.
    KeepForever(state_);
    stateAbandoned_ = true;
}

void InternetDownloader::RethrowCallbackFailure()
{
    if (const std::exception_ptr failure = TakeCallbackFailure(*state_))
        std::rethrow_exception(failure);
}

void InternetDownloader::WaitWhilePaused(bool leaveOnCompletion)
{
    if (sink_ == nullptr)
        return;
    while (sink_->IsPaused()) {
        if ((leaveOnCompletion && state_ && state_->completed) || sink_->IsCanceled())
            return;
        ::Sleep(kPollMs);
    }
}

bool InternetDownloader::IsCanceled() const
{
    return sink_ != nullptr && sink_->IsCanceled();
}

std::wstring InternetDownloader::GetLastResponseText() const
{
    return state_ ? state_->LastResponse() : std::wstring();
}

} // namespace orvanta
