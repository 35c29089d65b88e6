// What a run that is not silent shows a person: the status window while it searches and the
// progress dialog while the stages run. The entry wires the dialogs in; the run knows only this.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

class DownloadQuestions;
class ProgressSink;

// The work of the progress dialog's worker thread.
class StageWorker {
public:
    virtual ~StageWorker() = default;
    // Runs the download, open-site and install stages on the worker thread, reporting to `sink`
    // and asking the person through `questions`. After the last stage it calls
    // sink.Complete(0, 0); a failure or a cancel ends it earlier without that call.
    virtual void Run(ProgressSink& sink, DownloadQuestions& questions) = 0;
    // How the dialog ends once every stage ran (asked by the sink's Complete(0, 0)).
    virtual int32_t FinalResult() = 0;
    // The user's session ends: no further installer is started.
    virtual void EndSession() = 0;
};

// How the progress dialog ended.
enum ProgressResult : int32_t {
    ProgressNotShown = 0,  // the dialog could not be created; the stages did not run
    ProgressDone = 1,
    ProgressCanceledOrRebooting = 2,
    ProgressMandatoryMissing = 7,
};

class UserInterface {
public:
    virtual ~UserInterface() = default;
    // The caption of the run's windows ("<product> Setup").
    virtual void SetTitle(const std::wstring& title) = 0;
    // Shows `text` in the status window, which is created on first use.
    virtual void ShowStatus(const std::wstring& text) = 0;
    // Closes the status window; called from another thread, returns once the window is gone.
    virtual void CloseStatus() = 0;
    // Shows the modal progress dialog, whose worker thread runs `worker`. Returns when the
    // dialog has closed and the worker has ended.
    virtual int32_t RunProgressDialog(StageWorker& worker) = 0;
    // Tells the person something that ends the run, and returns when it was read.
    virtual void ShowMessage(const std::wstring& text) { (void)text; }
};

} // namespace orvanta
