// The login question "Connect to <realm or host>": user name, password and a "Remember my
// credentials" box, in a resizable dialog. The password is kept only as long as the dialog
// object lives and is wiped when it goes.
#pragma once

#include "download/CredentialStore.h"
#include "ui/DialogServices.h"

#include <string>

namespace orvanta {

class CredentialsDialog final : private DialogObject {
public:
    explicit CredentialsDialog(CredentialQuestion question) : question_(std::move(question)) {}
    ~CredentialsDialog() override;

    // Shows the dialog modally over `parent`: 1 confirmed (OK), 2 canceled, -1 not shown.
    INT_PTR Run(HWND parent);
    const std::wstring& User() const { return user_; }
    const std::wstring& Password() const { return password_; }
    bool Remember() const { return remember_; }

private:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnInitDialog();
    void Confirm();
    bool ReadField(int id, std::wstring& text);

    CredentialQuestion question_;
    std::wstring user_;
    std::wstring password_;
    bool remember_ = false;
    ResizableLayout layout_;
};

// The prompt that the process's credential store uses in a run with an interface.
// `remember`: the box "Remember my credentials" was ticked.
bool AskForCredentials(HWND parent, const CredentialQuestion& question, std::wstring& user, std::wstring& password,
                       bool& remember);

} // namespace orvanta
