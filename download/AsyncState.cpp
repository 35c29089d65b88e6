// What WinINet's status callback does with the shared state, and the state's helpers.
#include "download/AsyncState.h"

#include "download/WinInetApi.h"
#include "platform/FaultTranslation.h"
#include "platform/Strings.h"

#include <utility>

#if defined(ORVANTA_FAULT_INJECTION)
// Test builds of the chainer only (tests/helpers/FaultInjection.cpp): faults when asked to.
void InjectStatusCallbackFault(DWORD status);
#endif

namespace orvanta {
namespace {

constexpr DWORD kResponseBufferChars = 1000;

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

void HandleStatus(AsyncState* state, DWORD status, LPVOID information, DWORD informationLength)
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
    case INTERNET_STATUS_REDIRECT:
        state->NoteRedirect(RedirectTarget(information, informationLength));
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

} // namespace

void AsyncState::StartRedirects(bool secure)
{
    const CriticalSectionLock lock(responseLock);
    downgradeTarget.clear();
    onSecureAddress = secure;
}

void AsyncState::NoteRedirect(const std::wstring& target)
{
    const bool secure = StartsWithIgnoringAsciiCase(target, L"https:");
    const bool plain = StartsWithIgnoringAsciiCase(target, L"http:");
    if (onSecureAddress.exchange(secure) && plain) {
        const CriticalSectionLock lock(responseLock);
        if (downgradeTarget.empty())
            downgradeTarget = target;
    }
}

std::wstring AsyncState::DowngradeTarget()
{
    const CriticalSectionLock lock(responseLock);
    return downgradeTarget;
}

std::wstring RedirectTarget(const void* information, DWORD bytes)
{
    // The callback of the wide API gets the address as a wide string.
    const auto* text = static_cast<const wchar_t*>(information);
    if (text == nullptr)
        return {};
    size_t length = 0;
    while (length < bytes / sizeof(wchar_t) && text[length] != L'\0')
        ++length;
    return std::wstring(text, length);
}

std::exception_ptr TakeCallbackFailure(AsyncState& state)
{
    const CriticalSectionLock lock(state.abandonLock);
    return std::exchange(state.callbackFailure, nullptr);
}

void CALLBACK DownloaderStatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                       DWORD informationLength)
{
    auto* state = reinterpret_cast<AsyncState*>(context);
    if (state == nullptr)
        return;  // the session handle has no context
    // WinINet's thread runs this: a fault here must reach the chainer's own crash path.
    const std::exception_ptr failure =
        RunContained([=] { HandleStatus(state, status, information, informationLength); });
    if (failure)
        HandOverFailure(*state, failure);
}

} // namespace orvanta
