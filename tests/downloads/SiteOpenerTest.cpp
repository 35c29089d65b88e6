// Opening a site through an Internet-shortcut file, with the shell replaced so that no
// browser starts under Wine.
#include "download/DownloadList.h"
#include "download/SiteOpener.h"
#include "platform/core/TempFolder.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orvanta;
using testing_support::FileExists;

namespace {

struct ShellRecord {
    std::vector<std::wstring> opened;
    std::vector<std::string> contents;  // each shortcut's content when it was opened
};
ShellRecord* record = nullptr;

bool RecordOpen(const std::wstring& path)
{
    record->opened.push_back(path);
    record->contents.push_back(testing_support::ReadBytes(path));
    return true;
}

int NoMessage(HWND, const std::wstring&, const std::wstring&, UINT)
{
    ADD_FAILURE() << "no message box expected";
    return IDOK;
}

const SiteShell kRecordingShell{RecordOpen, NoMessage};

class SiteOpenerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        record = &shell;
        SetSiteShellForTesting(&kRecordingShell);
    }
    void TearDown() override
    {
        SetSiteShellForTesting(nullptr);
        record = nullptr;
    }

    ShellRecord shell;
};

} // namespace

TEST_F(SiteOpenerTest, ShortcutIsWrittenOpenedAndDeletedWithTheList)
{
    std::wstring shortcut;
    {
        DownloadList downloads;
        OpenSiteUrl(L"http://127.0.0.1/app/", downloads);
        ASSERT_EQ(shell.opened.size(), 1u);
        shortcut = shell.opened[0];
        EXPECT_EQ(shell.contents[0], "[InternetShortcut]\r\nURL=http://127.0.0.1/app/\r\n");
        // A .url file in the chainer's temporary folder, registered for the end of the run.
        EXPECT_EQ(shortcut.substr(0, GetTempFolder().size()), GetTempFolder());
        EXPECT_EQ(shortcut.substr(shortcut.size() - 4), L".url");
        ASSERT_EQ(downloads.FilesToDelete().size(), 1u);
        EXPECT_EQ(downloads.FilesToDelete()[0], shortcut);
        EXPECT_TRUE(FileExists(shortcut));
    }
    EXPECT_FALSE(FileExists(shortcut));
}
