// The asynchronous WinINet session of one download: the session, connection and request
// handles, and the call discipline every asynchronous call shares (prepare, call, then wait for
// its completion while honouring the sink's cancel and pause).
#pragma once

#include "download/AsyncState.h"
#include "download/WinInetApi.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>
#include <string>

namespace orvanta {

class ProgressSink;

class InternetSession {
public:
    // The sink is not owned and may be null.
    explicit InternetSession(ProgressSink* sink) : sink_(sink) {}
    ~InternetSession() { Close(); }
    InternetSession(const InternetSession&) = delete;
    InternetSession& operator=(const InternetSession&) = delete;

    // Opens the session through `proxy` (empty: the system's configuration); 0 or the error.
    uint32_t Open(const std::wstring& proxy);
    // Closes the open handles and the session; a failure of a notification that no call waited
    // for ends the run with its report.
    void Close();

    HINTERNET Handle() const { return session_.Get(); }
    HINTERNET& Connection() { return connection_; }
    HINTERNET& Request() { return request_; }  // the HTTP request or the FTP file
    AsyncState& State() { return *state_; }
    // The context every handle of the download carries: the state.
    DWORD_PTR Context() const { return reinterpret_cast<DWORD_PTR>(state_.get()); }

    // Called right before each asynchronous call of `kind`.
    void PrepareCall(OperationKind kind);
    // After an open: its handle into `handle` once it completed; 0, the error or DLERR_CANCELED.
    uint32_t FinishOpen(HINTERNET returned, HINTERNET& handle);
    // After any other call: 0 once it succeeded, the error or DLERR_CANCELED.
    uint32_t FinishCall(BOOL returned, bool honourPause);
    void CloseHandle(HINTERNET& handle);
    void CloseOpenHandles();

    // Sleeps while the sink says paused; during a pending call, also until it completes.
    void WaitWhilePaused(bool leaveOnCompletion);
    // The server's reply text after the last connect or FTP command.
    std::wstring LastResponseText() const;

private:
    void CompleteAtOnce();
    uint32_t WaitForCall(DWORD callError, bool honourPause);
    // Lets go of a call that is still running: see AsyncState::abandoned.
    void AbandonState();
    // Rethrows what escaped the status callback, once.
    void RethrowCallbackFailure();
    bool IsCanceled() const;

    ProgressSink* sink_;
    // The asynchronous state lives apart from the session: a call that is still running after a
    // cancel keeps writing into it (and into its buffer) until WinINet lets go of the handle.
    std::shared_ptr<AsyncState> state_;
    bool stateAbandoned_ = false;
    UniqueInternet session_;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
};

} // namespace orvanta
