// The modal progress dialog of a basic-interface run: a status line, a progress bar and Cancel,
// mirrored on the taskbar button. A worker thread runs the stages and reports through the
// dialog's sink; the sink never shows a message box: an error is the status line's text and the
// bar's error state until the user presses Cancel.
#pragma once

#include "run/UserInterface.h"
#include "platform/ProgressSink.h"
#include "platform/UniqueResource.h"
#include "ui/DialogServices.h"
#include "ui/TaskbarProgress.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace orvanta {

class CredentialStore;

class ProgressDialog final : private DialogObject, public ProgressSink {
public:
    // The bar counts the steps of a stage. From the first transfer of known length on, each step
    // has this many units, so that the bytes received can move the bar within their step.
    static constexpr uint32_t kUnitsPerTransferStep = 1000;

    ProgressDialog(StageWorker& worker, std::wstring caption);
    ~ProgressDialog() override;

    // Shows the dialog owned by the active window and returns how it ended (1, 2 or 7), or 0
    // when it could not be created; in every case only after the worker thread has ended. What
    // escaped the worker (a fault, a program error) is thrown here once the dialog is gone.
    int32_t Run();

    // The sink, called on the worker thread. A step of a stage starts at the bar's position for
    // the step; a transfer with a known length moves the bar through its step by the bytes
    // received.
    void SetRange(uint32_t total, StageSteps steps) override;
    void BeginTransfer(uint32_t kind, uint64_t length, const std::wstring& path) override;
    void Complete(uint32_t kind, uint32_t reserved) override;
    void AddProgress(uint64_t bytes) override;
    bool IsCanceled() override { return canceled_; }
    bool IsPaused() override { return false; }
    // A login question is put to the user (answered with ERROR_RETRY when confirmed); anything
    // else shows the error and is answered with its own code.
    uint32_t ReportError(const wchar_t* text, uint32_t code, uintptr_t context) override;
    void SetStatus(const std::wstring& text, uint32_t kind, uint32_t reserved) override;

private:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnInitDialog();
    void End(INT_PTR result);
    static DWORD WINAPI WorkerThread(void* parameter);

    // Worker side.
    bool Closed() const { return ended_ || window_ == nullptr; }
    void SetBarRange(uint32_t unitsPerStep);
    // The bar's range: the stage's steps in units, as far as the bar's 32-bit range reaches.
    uint64_t BarUnits() const;
    void MoveBar(uint64_t position);
    void ShowError(const wchar_t* text);
    void ClearError();
    uint32_t AskForLogin(CredentialStore& store, uint32_t code);

    StageWorker& worker_;
    std::wstring caption_;
    UniqueHandle workerThread_;
    std::exception_ptr workerFailure_;  // what escaped the worker (a fault or a program error)
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> canceled_{false};
    std::atomic<bool> ended_{false};
    // Written only by the worker.
    uint32_t stepCounter_ = 0;
    uint64_t stepTotal_ = 0;
    uint32_t unitsPerStep_ = 1;
    uint64_t transferLength_ = 0;
    uint64_t transferred_ = 0;
    uint64_t barPosition_ = UINT64_MAX;
    bool errorShown_ = false;
    // Only on the dialog's thread.
    std::unique_ptr<TaskbarProgress> taskbar_;
};

} // namespace orvanta
