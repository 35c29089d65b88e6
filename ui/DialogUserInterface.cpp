#include "ui/DialogUserInterface.h"

#include "download/CredentialStore.h"
#include "download/DownloadList.h"
#include "ui/CommonControls.h"
#include "ui/CredentialsDialog.h"
#include "ui/ProgressDialog.h"
#include "platform/MessageBox.h"

namespace orvanta {

void DialogUserInterface::ShowStatus(const std::wstring& text)
{
    LoadCommonControls();
    status_.Show(title_, text, false);
}

void DialogUserInterface::ShowMessage(const std::wstring& text)
{
    // No window of this run is up yet, and the foreground window may be another run's.
    ShowMessageBox(nullptr, text.c_str(), title_.c_str(), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

int32_t DialogUserInterface::RunProgressDialog(StageWorker& worker)
{
    ProgressDialog dialog(worker, title_);
    return dialog.Run();
}

void InstallDialogPrompts()
{
    ProcessCredentialStore().SetPrompt(&AskForCredentials);
}

} // namespace orvanta
