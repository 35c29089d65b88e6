#include "ui/CredentialsDialog.h"

#include "platform/Resources.h"
#include "platform/Text.h"
#include "platform/resource.h"
#include "ui/CommonControls.h"
#include "ui/DialogIds.h"

namespace orvanta {
namespace {

const UINT kRecordLayoutMessage = WM_APP + 1;

} // namespace

CredentialsDialog::~CredentialsDialog()
{
    WipeSecret(password_);
}

INT_PTR CredentialsDialog::Run(HWND parent)
{
    LoadCommonControls();
    return RunModal(IDD_CREDENTIALS, parent);
}

void CredentialsDialog::OnInitDialog()
{
    const HWND window = Window();
    // A challenge without a realm is named by the host. The server is "<name> at <where>": the
    // proxy that asked, else the host itself.
    const std::wstring& name = question_.realm.empty() ? question_.host : question_.realm;
    const std::wstring& where = question_.proxyServer.empty() ? question_.host : question_.proxyServer;
    ::SetWindowTextW(window, FillPlaceholders(LoadStringResource(IDS_CONNECT_TO), name).c_str());
    ::SetDlgItemTextW(window, IDC_CREDENTIALS_TEXT,
                      FillPlaceholders(LoadStringResource(IDS_CREDENTIALS_PROMPT), name, where).c_str());
    SetControlTexts(window, {{IDC_USER_NAME_LABEL, IDS_USER_NAME_LABEL},
                             {IDC_PASSWORD_LABEL, IDS_PASSWORD_LABEL},
                             {IDC_REMEMBER, IDS_REMEMBER_CREDENTIALS},
                             {IDOK, IDS_OK},
                             {IDCANCEL, IDS_CANCEL}});
    ::EnableWindow(::GetDlgItem(window, IDOK), FALSE);
    SetDialogIcon(window);
    layout_.Attach(window, {{IDC_CREDENTIALS_TEXT, ResizableLayout::StretchRight},
                            {IDC_USER_NAME, ResizableLayout::StretchRight},
                            {IDC_PASSWORD, ResizableLayout::StretchRight},
                            {IDOK, ResizableLayout::MoveRight | ResizableLayout::MoveDown},
                            {IDCANCEL, ResizableLayout::MoveRight | ResizableLayout::MoveDown}});
    CenterWindow(window);
}

// The length is read first: a read that comes back shorter lost part of the text.
bool CredentialsDialog::ReadField(int id, std::wstring& text)
{
    const HWND field = ::GetDlgItem(Window(), id);
    const int length = ::GetWindowTextLengthW(field);
    WipeSecret(text);
    text.assign(static_cast<size_t>(length) + 1, L'\0');
    const int read = ::GetWindowTextW(field, &text[0], length + 1);
    if (read < length) {
        WipeSecret(text);
        ::MessageBeep(0xFFFFFFFF);
        ::SetFocus(field);
        return false;
    }
    text.resize(static_cast<size_t>(read));
    return true;
}

void CredentialsDialog::Confirm()
{
    // Enter reaches here even while OK is disabled.
    if (::GetWindowTextLengthW(::GetDlgItem(Window(), IDC_USER_NAME)) == 0) {
        ::MessageBeep(0xFFFFFFFF);
        return;
    }
    if (!ReadField(IDC_USER_NAME, user_) || !ReadField(IDC_PASSWORD, password_))
        return;
    remember_ = ::SendDlgItemMessageW(Window(), IDC_REMEMBER, BM_GETCHECK, 0, 0) == BST_CHECKED;
    ::EndDialog(Window(), IDOK);
}

bool CredentialsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_USER_NAME && HIWORD(wParam) == EN_CHANGE) {
            ::EnableWindow(::GetDlgItem(Window(), IDOK),
                           ::GetWindowTextLengthW(::GetDlgItem(Window(), IDC_USER_NAME)) > 0);
        } else if (LOWORD(wParam) == IDOK) {
            Confirm();
        } else if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(Window(), IDCANCEL);
        }
        return true;
    case WM_SIZE:
        layout_.OnSize(wParam);
        return true;
    case WM_GETMINMAXINFO:
        layout_.OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        return true;
    case WM_DPICHANGED:
        // The system scales the dialog after this message; the layout is taken again then.
        layout_.OnDpiChanged(LOWORD(wParam));
        ::PostMessageW(Window(), kRecordLayoutMessage, 0, 0);
        result = FALSE;
        return false;
    case kRecordLayoutMessage:
        layout_.Record();
        return true;
    default:
        result = FALSE;
        return false;
    }
}

bool AskForCredentials(HWND parent, const CredentialQuestion& question, std::wstring& user, std::wstring& password,
                       bool& remember)
{
    CredentialsDialog dialog(question);
    if (dialog.Run(parent) != IDOK)
        return false;
    user = dialog.User();
    password = dialog.Password();
    remember = dialog.Remember();
    return true;
}

} // namespace orvanta
