#include "ui/ProgressDialog.h"

#include "download/CredentialStore.h"
#include "platform/FaultTranslation.h"
#include "platform/ProcessLaunch.h"
#include "platform/Resources.h"
#include "platform/Strings.h"
#include "platform/resource.h"
#include "ui/CommonControls.h"
#include "ui/DialogIds.h"

#include <commctrl.h>

#include <algorithm>

namespace orvanta {
namespace {

// The worker reaches the dialog's thread through these; the taskbar's COM object and the end of
// the dialog belong to that thread.
const UINT kEndMessage = WM_APP + 1;           // wParam: the end value
const UINT kTaskbarValueMessage = WM_APP + 2;  // wParam: completed, lParam: total
const UINT kTaskbarStateMessage = WM_APP + 3;  // wParam: TBPFLAG
const DWORD kBlinkMs = 200;

} // namespace

ProgressDialog::ProgressDialog(StageWorker& worker, std::wstring caption, TaskbarButtonFactory makeTaskbarButton)
    : worker_(worker), caption_(std::move(caption)), makeTaskbarButton_(makeTaskbarButton)
{
}

ProgressDialog::~ProgressDialog() = default;

int32_t ProgressDialog::Run()
{
    LoadCommonControls();
    const INT_PTR end = RunModal(IDD_PROGRESS, ::GetActiveWindow());
    ended_ = true;
    if (workerThread_) {
        if (end == -1)
            canceled_ = true;  // a dialog that failed after its worker started: nobody could cancel
        // Messages are still dispatched: the worker may be sending one to this thread.
        WaitWithMessagePump(workerThread_.Get());
        if (workerFailure_)
            std::rethrow_exception(workerFailure_);
    }
    if (end == ProgressDone || end == ProgressCanceledOrRebooting || end == ProgressMandatoryMissing)
        return static_cast<int32_t>(end);
    return ProgressNotShown;
}

DWORD WINAPI ProgressDialog::WorkerThread(void* parameter)
{
    auto* dialog = static_cast<ProgressDialog*>(parameter);
    dialog->workerFailure_ = RunContained([dialog] { dialog->worker_.Run(*dialog, *dialog); });
    // The dialog closes; Run hands the failure on to the thread that reports it.
    if (dialog->workerFailure_ && !dialog->Closed())
        ::PostMessageW(dialog->window_, kEndMessage, ProgressCanceledOrRebooting, 0);
    return 0;
}

void ProgressDialog::OnInitDialog()
{
    const HWND window = Window();
    SetDialogIcon(window);
    CenterWindow(window);
    ::SetWindowTextW(window, caption_.c_str());
    SetControlTexts(window, {{IDC_PROGRESS_TEXT, IDS_PREPARING}, {IDCANCEL, IDS_CANCEL}});
    taskbar_ = std::make_unique<TaskbarProgress>(window, makeTaskbarButton_);
    window_ = window;
    workerThread_.Reset(::CreateThread(nullptr, 0, &ProgressDialog::WorkerThread, this, 0, nullptr));
    if (!workerThread_)
        End(ProgressNotShown);
}

void ProgressDialog::End(INT_PTR result)
{
    if (ended_.exchange(true))
        return;
    ::EndDialog(Window(), result);
}

bool ProgressDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return true;
    case WM_COMMAND:
        // Cancel, Esc and the close box: the dialog ends at once; the worker stops at its next
        // cancellation check and Run waits for it.
        if (LOWORD(wParam) == IDCANCEL) {
            canceled_ = true;
            End(ProgressCanceledOrRebooting);
        }
        return true;
    case kEndMessage:
        End(static_cast<INT_PTR>(wParam));
        return true;
    case kTaskbarValueMessage:
        if (taskbar_)
            taskbar_->SetValue(static_cast<ULONGLONG>(wParam), static_cast<ULONGLONG>(lParam));
        return true;
    case kTaskbarStateMessage:
        if (taskbar_)
            taskbar_->SetState(static_cast<TBPFLAG>(wParam));
        return true;
    case WM_ENDSESSION:
        if (wParam != FALSE)
            worker_.EndSession();
        ::SetWindowLongPtrW(Window(), DWLP_MSGRESULT, 0);
        return true;
    case WM_DESTROY:
        window_ = nullptr;
        taskbar_.reset();  // clears the button's progress
        return false;
    default:
        result = FALSE;
        return false;
    }
}

void ProgressDialog::SetRange(uint32_t total, StageSteps steps)
{
    stepTotal_ = total;
    stepCounter_ = 0;
    transferSteps_ = steps == StageSteps::Transfers;
    transferLength_ = 0;
    unitsPerStep_ = 1;
    if (transferSteps_ && total != 0)
        unitsPerStep_ = std::max<uint32_t>(1, std::min<uint32_t>(kUnitsPerTransferStep, INT32_MAX / total));
    // A stage starts its own range: the one place where the bar goes back.
    barPosition_ = kNothingDrawn;
    if (!Closed())
        ::SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, static_cast<LPARAM>(BarUnits()));
    MoveBar(0);
}

uint64_t ProgressDialog::BarUnits() const
{
    return std::min<uint64_t>(stepTotal_ * unitsPerStep_, INT32_MAX);
}

void ProgressDialog::SetStatus(const std::wstring& text, uint32_t kind, uint32_t)
{
    if (kind != kStageStep)
        return;
    ++stepCounter_;
    transferLength_ = 0;
    if (Closed())
        return;
    ::SetDlgItemTextW(window_, IDC_PROGRESS_TEXT, text.c_str());
    // The bar's name, which screen readers read with its value.
    ::SetDlgItemTextW(window_, IDC_PROGRESS_BAR,
                      FillPlaceholders(LoadStringResource(IDS_STEP_OF), DecimalText(stepCounter_),
                                       DecimalText(stepTotal_)).c_str());
    ClearError();
    // A transfer step starts where the step before ended, also when that transfer never said
    // its length or stopped half way.
    MoveBar(StepEnd(transferSteps_ ? stepCounter_ - 1 : stepCounter_));
}

void ProgressDialog::ShowActivity(const std::wstring& text)
{
    if (!Closed())
        ::SetDlgItemTextW(window_, IDC_PROGRESS_TEXT, text.c_str());
}

void ProgressDialog::BeginTransfer(uint32_t kind, uint64_t length, const std::wstring&)
{
    if (kind != 1 || !transferSteps_ || stepCounter_ == 0)
        return;
    // Another try of the same step counts its bytes afresh; the bar waits until they pass the
    // point the earlier try reached.
    transferLength_ = length;
    transferred_ = 0;
}

void ProgressDialog::AddProgress(uint64_t bytes)
{
    if (transferLength_ == 0)
        return;
    transferred_ += bytes;
    const uint64_t within = std::min(transferred_, transferLength_) * unitsPerStep_ / transferLength_;
    MoveBar(StepEnd(stepCounter_ - 1) + within);
}

void ProgressDialog::Complete(uint32_t kind, uint32_t)
{
    if (kind == 1) {
        // The file is there, whether its length was known or not: its step is done.
        if (transferSteps_ && stepCounter_ != 0)
            MoveBar(StepEnd(stepCounter_));
        transferLength_ = 0;
        return;
    }
    if (kind != 0 || Closed())
        return;
    ::PostMessageW(window_, kTaskbarStateMessage, TBPF_NOPROGRESS, 0);
    const int32_t end = worker_.FinalResult();
    ::PostMessageW(window_, kEndMessage, static_cast<WPARAM>(end), 0);
}

uint32_t ProgressDialog::ReportError(const wchar_t* text, uint32_t code)
{
    ShowError(text);
    return code;
}

bool ProgressDialog::AskForLogin(CredentialStore& store)
{
    // The failure that follows a refused question shows the error.
    if (Closed() || canceled_)
        return false;
    return store.AskUser(window_);
}

bool ProgressDialog::AcceptCertificateError(uint32_t)
{
    ShowError(nullptr);
    return false;
}

void ProgressDialog::ShowError(const wchar_t* text)
{
    if (Closed())
        return;
    if (text != nullptr)
        ::SetDlgItemTextW(window_, IDC_PROGRESS_TEXT, text);
    const HWND bar = ::GetDlgItem(window_, IDC_PROGRESS_BAR);
    ::SendMessageW(bar, PBM_SETSTATE, PBST_ERROR, 0);
    ::ShowWindow(bar, SW_HIDE);
    ::Sleep(kBlinkMs);
    ::ShowWindow(bar, SW_SHOW);
    ::PostMessageW(window_, kTaskbarStateMessage, TBPF_ERROR, 0);
    errorShown_ = true;
}

// A failure that the stage went on after (a download that was not mandatory) is not the state of
// the steps that follow.
void ProgressDialog::ClearError()
{
    if (!errorShown_)
        return;
    errorShown_ = false;
    ::SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETSTATE, PBST_NORMAL, 0);
    ::PostMessageW(window_, kTaskbarStateMessage, TBPF_NORMAL, 0);
}

void ProgressDialog::MoveBar(uint64_t position)
{
    const uint64_t total = BarUnits();
    position = std::min(position, total);
    if ((barPosition_ != kNothingDrawn && position <= barPosition_) || Closed())
        return;
    barPosition_ = position;
    ::SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    ::PostMessageW(window_, kTaskbarValueMessage, static_cast<WPARAM>(position), static_cast<LPARAM>(total));
}

} // namespace orvanta
