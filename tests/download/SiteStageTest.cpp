// The open-site stage: each site opened through an Internet-shortcut file, its log line, the sink calls and the message box, with the shell replaced so that no browser or
// box appears under Wine.
#include "download/DownloadList.h"
#include "download/DownloadStage.h"
#include "download/SiteOpener.h"
#include "platform/TempFolder.h"

#include "DownloadTestSupport.h"

using namespace orvanta;
using download_testing::RecordingSink;
using testing_support::ContainsLine;
using testing_support::FileExists;

namespace {

struct Message {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

struct ShellLog {
    std::vector<std::wstring> paths;
    std::vector<std::string> shortcuts;  // each shortcut's content when it was opened
    std::vector<Message> messages;
};
ShellLog* shellLog = nullptr;

bool RecordOpen(const std::wstring& path)
{
    shellLog->paths.push_back(path);
    shellLog->shortcuts.push_back(testing_support::ReadBytes(path));
    return true;
}

int RecordMessage(HWND, const std::wstring& text, const std::wstring& caption, UINT type)
{
    shellLog->messages.push_back(Message{text, caption, type});
    return IDOK;
}

const SiteShell kRecordingShell{RecordOpen, RecordMessage};

class SiteStageTest : public ::testing::Test {
protected:
    void SetUp() override { shellLog = &shell; }
    void TearDown() override { shellLog = nullptr; }

    void AddSite(const std::wstring& name, const std::wstring& url) { sites.push_back(SiteJob{name, url}); }
    void Open(ProgressSink* sink, bool showMessage = true)
    {
        OpenPrerequisiteSites(sites, downloads, sink, kRecordingShell, L"Opening site of %s",
                              L"The download page of %s has been opened in your web browser. "
                              L"Install it from there, then click OK.",
                              showMessage);
    }

    std::vector<std::wstring> LogLines() const { return log.Lines(); }

    testing_support::LogCapture log;
    std::vector<SiteJob> sites;
    ShellLog shell;
    RecordingSink sink;
    DownloadList downloads;
};

} // namespace

TEST_F(SiteStageTest, EachSiteIsLoggedAndOpenedInOrderThroughAShortcutDeletedWithTheList)
{
    AddSite(L"Viewer", L"https://example.com/viewer?lang=en");
    AddSite(L"Codec", L"http://127.0.0.1/codec");
    AddSite(L"Portal", L"https://user:pw@example.com/portal");
    Open(nullptr);

    ASSERT_EQ(shell.shortcuts.size(), 3u);
    EXPECT_EQ(shell.shortcuts[0], "[InternetShortcut]\r\nURL=https://example.com/viewer?lang=en\r\n");
    EXPECT_EQ(shell.shortcuts[1], "[InternetShortcut]\r\nURL=http://127.0.0.1/codec\r\n");
    const auto lines = LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Launching URL:https://example.com/viewer?lang=en"));
    EXPECT_TRUE(ContainsLine(lines, L"Launching URL:http://127.0.0.1/codec"));
    // A password in the URL never reaches the log.
    EXPECT_TRUE(ContainsLine(lines, L"Launching URL:https://example.com/portal"));
    EXPECT_EQ(log.Text().find(L"pw"), std::wstring::npos);
    // Silent stage: no message box; the shortcuts, in the temporary folder, wait for the end of the run.
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_EQ(shell.paths[0].substr(0, GetTempFolder().size()), GetTempFolder());
    EXPECT_EQ(shell.paths[0].substr(shell.paths[0].size() - 4), L".url");
    EXPECT_EQ(downloads.FilesToDelete(), shell.paths);
    EXPECT_TRUE(FileExists(shell.paths[0]));
    downloads.DeleteRegistered();
    EXPECT_FALSE(FileExists(shell.paths[0]));
}

TEST_F(SiteStageTest, WithASinkEachSiteShowsItsStatusAndAMessageUnlessQuietAndCancellationStopsTheNext)
{
    AddSite(L"Viewer", L"https://example.com/viewer");
    Open(&sink);
    EXPECT_EQ(sink.ranges, std::vector<uint32_t>{1});
    EXPECT_EQ(sink.statuses, std::vector<std::wstring>{L"Opening site of Viewer"});
    EXPECT_EQ(sink.statusKinds, std::vector<uint32_t>{8});
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].caption, L"Opening site of Viewer");
    EXPECT_EQ(shell.messages[0].text, L"The download page of Viewer has been opened in your web browser. "
                                      L"Install it from there, then click OK.");
    EXPECT_EQ(shell.messages[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));

    Open(&sink, false);
    EXPECT_EQ(shell.shortcuts.size(), 2u);
    EXPECT_EQ(shell.messages.size(), 1u);

    // Cancellation stops before the next site.
    AddSite(L"Second", L"https://example.com/2");
    RecordingSink canceling;
    canceling.cancelAfterStatuses = 1;
    Open(&canceling);
    EXPECT_EQ(shell.shortcuts.size(), 3u);
    EXPECT_EQ(canceling.statuses, std::vector<std::wstring>{L"Opening site of Viewer"});
    EXPECT_FALSE(ContainsLine(LogLines(), L"Launching URL:https://example.com/2"));
}
