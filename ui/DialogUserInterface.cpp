#include "ui/DialogUserInterface.h"

#include "download/CredentialStore.h"
#include "download/DownloadList.h"
#include "ui/CommonControls.h"
#include "ui/CredentialsDialog.h"
#include "ui/ProgressDialog.h"

namespace orvanta {

void DialogUserInterface::ShowStatus(const std::wstring& text)
{
    LoadCommonControls();
    status_.Show(title_, text, false);
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
