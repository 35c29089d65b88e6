// The modal progress dialog of a basic-interface run: a status line, a progress bar and Cancel,
// mirrored on the taskbar button. A worker thread runs the stages and reports through the
// dialog's sink; the sink never shows a message box: an error is the status line's text and the
// bar's error state until the user presses Cancel. The worker's questions (a login) are put to
// the user over the dialog.
#pragma once

#include "download/DownloadQuestions.h"
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

class ProgressDialog final : private DialogObject, public ProgressSink, public DownloadQuestions {
public:
    // The bar counts the steps of a stage. A step of a transfer stage has this many units (fewer
    // when the stage has so many steps that the bar's 32-bit range would not hold them), so that
    // the bytes received can move the bar within their step.
    static constexpr uint32_t kUnitsPerTransferStep = 1000;

    // The taskbar button comes from `makeTaskbarButton` (tests hand in their own).
    ProgressDialog(StageWorker& worker, std::wstring caption,
                   TaskbarButtonFactory makeTaskbarButton = &MakeSystemTaskbarButton);
    ~ProgressDialog() override;

    // Shows the dialog owned by the active window and returns how it ended (1, 2 or 7), or 0
    // when it could not be created; in every case only after the worker thread has ended. What
    // escaped the worker (a fault, a program error) is thrown here once the dialog is gone.
    int32_t Run();

    // The sink, called on the worker thread. Within a stage the bar only moves forward. An action
    // step moves it to the step's end as the step begins; a transfer step starts at the step's
    // start, a transfer of known length fills the step by the bytes received, and the finished
    // transfer (or the next step) puts the bar at the step's end.
    void SetRange(uint32_t total, StageSteps steps) override;
    void BeginTransfer(uint32_t kind, uint64_t length, const std::wstring& path) override;
    void Complete(uint32_t kind, uint32_t reserved) override;
    void AddProgress(uint64_t bytes) override;
    bool IsCanceled() override { return canceled_; }
    bool IsPaused() override { return false; }
    // Shows the error and answers with its code.
    uint32_t ReportError(const wchar_t* text, uint32_t code) override;
    void SetStatus(const std::wstring& text, uint32_t kind, uint32_t reserved) override;
    void ShowActivity(const std::wstring& text) override;

    // The questions, called on the worker thread. A login is asked over the dialog unless it has
    // closed or was canceled; a certificate error shows as an error and is refused.
    bool AskForLogin(CredentialStore& store) override;
    bool AcceptCertificateError(uint32_t error) override;

private:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnInitDialog();
    void End(INT_PTR result);
    static DWORD WINAPI WorkerThread(void* parameter);

    // Worker side.
    bool Closed() const { return ended_ || window_ == nullptr; }
    // The bar's range: the stage's steps in units, as far as the bar's 32-bit range reaches.
    uint64_t BarUnits() const;
    // Where the given step ends on the bar (step 0: the stage's start).
    uint64_t StepEnd(uint32_t step) const { return static_cast<uint64_t>(step) * unitsPerStep_; }
    // Moves the bar and the taskbar button to the position unless the bar already stands there or
    // further on.
    void MoveBar(uint64_t position);
    void ShowError(const wchar_t* text);
    void ClearError();

    StageWorker& worker_;
    std::wstring caption_;
    TaskbarButtonFactory makeTaskbarButton_;
    UniqueHandle workerThread_;
    std::exception_ptr workerFailure_;  // what escaped the worker (a fault or a program error)
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> canceled_{false};
    std::atomic<bool> ended_{false};
    // Written only by the worker.
    uint32_t stepCounter_ = 0;
    uint64_t stepTotal_ = 0;
    uint32_t unitsPerStep_ = 1;
    bool transferSteps_ = false;
    uint64_t transferLength_ = 0;  // 0: no transfer of known length in this step
    uint64_t transferred_ = 0;
    static constexpr uint64_t kNothingDrawn = UINT64_MAX;
    uint64_t barPosition_ = kNothingDrawn;  // the position drawn in this stage
    bool errorShown_ = false;
    // Only on the dialog's thread.
    std::unique_ptr<TaskbarProgress> taskbar_;
};

} // namespace orvanta
