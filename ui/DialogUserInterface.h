// The run's interface made of the chainer's dialogs: the status window and the progress dialog.
#pragma once

#include "run/UserInterface.h"
#include "ui/StatusDialog.h"

#include <string>

namespace orvanta {

class DialogUserInterface final : public UserInterface {
public:
    void SetTitle(const std::wstring& title) override { title_ = title; }
    void ShowStatus(const std::wstring& text) override;
    void CloseStatus() override { status_.Close(); }
    int32_t RunProgressDialog(StageWorker& worker) override;
    void ShowMessage(const std::wstring& text) override;

private:
    std::wstring title_;
    StatusDialog status_;
};

// Wires the prompts that lower layers reach through their own seams to the dialogs: the login
// question of the process's credential store.
void InstallDialogPrompts();

} // namespace orvanta
