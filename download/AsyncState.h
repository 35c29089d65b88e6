// What WinINet's status callback shares with the downloading thread. It is the context of every
// handle of a download, so it must outlive the last notification for those handles.
#pragma once

#include "platform/CriticalSection.h"
#include "platform/UniqueResource.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace orvanta {

// The asynchronous call that is outstanding; the status callback takes the result of an open
// (kinds 0, 1, 2, 5, 6) as the new handle.
enum class OperationKind : uint32_t {
    Connect = 0,
    FtpOpenFile = 2,
    ReadFile = 3,
    FtpCommand = 4,
    HttpOpenRequest = 6,
    HttpSendRequest = 7,
    QueryDataAvailable = 8,
};

struct AsyncState {
    UniqueHandle requestComplete;  // manual reset
    UniqueHandle handleClosed;     // manual reset

    std::atomic<OperationKind> operationKind{OperationKind::Connect};
    std::atomic<bool> completed{false};
    // A call was started and has neither returned at once nor completed.
    std::atomic<bool> pending{false};
    std::atomic<bool> connectionClosed{false};
    std::atomic<DWORD> asyncError{0};
    std::atomic<DWORD_PTR> asyncResult{0};
    std::atomic<HINTERNET> currentHandle{nullptr};

    CriticalSection responseLock;
    std::wstring lastResponse;

    // The redirects of an HTTP send, followed by WinINet itself: whether the address it is on is
    // secure (set by the engine before the send) and the first plain-HTTP address a secure one
    // led to (under responseLock).
    std::atomic<bool> onSecureAddress{false};
    std::wstring downgradeTarget;

    // Set when the engine let go of a call in flight (a cancel): a handle that an open brings
    // afterwards belongs to nobody, so the status callback closes it.
    CriticalSection abandonLock;
    bool abandoned = false;
    // What escaped the status callback (a fault, a program error), kept under abandonLock for
    // the thread that waits for the call: nothing may unwind through WinINet's threads.
    std::exception_ptr callbackFailure;

    // Written by WinINet when a pending read completes, like the buffer itself.
    DWORD bytesTransferred = 0;
    std::vector<char> buffer;
    // A pending send may still read this.
    std::wstring sendHeaders;

    std::wstring LastResponse();
    void SetLastResponse(std::wstring text);
    // Before a send: its address is secure or not, and no downgrade was seen.
    void StartRedirects(bool secure);
    // A send's redirect to `target`, as WinINet reports it.
    void NoteRedirect(const std::wstring& target);
    std::wstring DowngradeTarget();
};

// A new manual-reset, non-signalled event; null with the system error on failure.
HANDLE CreateManualResetEvent();
// Creates the two events with `create`; false with the error of the call that failed (never
// 0) when one cannot be created.
bool CreateAsyncEvents(AsyncState& state, DWORD& error, HANDLE (*create)() = CreateManualResetEvent);

// The calling thread's last server reply (WinINet keeps it per thread).
std::wstring ReadLastResponseInfo();

// Keeps a state alive for the rest of the process: a call that could not be stopped may still
// complete into it.
void KeepForever(const std::shared_ptr<AsyncState>& state);

// What escaped the status callback, taken once (null when nothing did).
std::exception_ptr TakeCallbackFailure(AsyncState& state);

// Whether an operation of this kind returns a new handle (as its result when it completes later).
bool IsOpenKind(OperationKind kind);

void CALLBACK DownloaderStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                       DWORD informationLength);
// The address of an INTERNET_STATUS_REDIRECT notification (a string of `bytes` bytes at most).
std::wstring RedirectTarget(const void* information, DWORD bytes);

} // namespace orvanta
