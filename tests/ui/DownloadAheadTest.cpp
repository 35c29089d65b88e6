// Runs with DownloadAhead=1 against nginx and the fault server: an installer starts while the
// next file still downloads, the progress dialog shows both, and the installs, their order,
// return codes and exit codes are those of the same package without the key: a failed mandatory
// download, Cancel and a restart request in the middle included.
#include "ChainerDialogs.h"
#include "ui/DialogIds.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;
using namespace ui_testing;
using download_testing::Servers;

namespace {

const wchar_t kAhead[] = L"DownloadAhead=1";

class DownloadAhead : public ChainerDialogs {
protected:
    // Serves the test helper as `name`, padded with bytes after its image (Windows loads it all
    // the same) to `size` bytes when given.
    void ServeHelper(const std::wstring& name, size_t size = 0)
    {
        std::string bytes = ReadBytes(package.PathOf(L"helper.exe"));
        if (bytes.size() < size)
            bytes.resize(size, 'x');
        ASSERT_TRUE(download_testing::ServeFile(name, bytes));
    }
    // The helper's command line that installs `name` and ends with `exitCode`.
    static std::wstring Command(const std::wstring& name, const Gate* gate, const wchar_t* exitCode)
    {
        std::wstring command = Installs(name, gate);
        return command.substr(0, command.rfind(L"--exit ")) + L"--exit " + exitCode;
    }
    // A prerequisite whose installer is the downloaded helper.
    static Section Fetched(const std::wstring& name, const std::wstring& url, const Gate* gate = nullptr,
                           const std::wstring& options = L"", const wchar_t* exitCode = L"0")
    {
        Section section = Prerequisite(name, options);
        section.push_back(L"Url=" + url);
        section.push_back(L"CommandLine=" + Command(name, gate, exitCode));
        section.push_back(L"RetValPropName=Ret" + name);
        return section;
    }
    // The launches and return codes of the log, in order.
    std::vector<std::wstring> Launches() const
    {
        std::vector<std::wstring> lines;
        for (const std::wstring& line : package.LogLines()) {
            if (line.rfind(L"Launching file:", 0) == 0 || line.rfind(L"Return code of launched file:", 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }
    // Runs the package once without the key and once with it, from an empty download folder.
    void RunBothWays(const std::wstring& options, const std::vector<Section>& sections,
                     const std::vector<std::wstring>& moreGeneral, DWORD (&exitCodes)[2],
                     std::vector<std::wstring> (&launches)[2])
    {
        for (int ahead = 0; ahead < 2; ++ahead) {
            DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
            DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
            ::DeleteFileW(package.LogPath().c_str());
            RemoveTree(package.PathOf(L"downloads"));
            std::vector<std::wstring> general = moreGeneral;
            if (ahead == 1)
                general.push_back(kAhead);
            WritePackage(options, sections, general);
            Start();
            exitCodes[ahead] = ExitCode();
            launches[ahead] = Launches();
        }
    }
};

} // namespace

TEST_F(DownloadAhead, AnInstallRunsWhileTheNextFileDownloadsAndCancelStopsBoth)
{
    REQUIRE_TEST_SERVERS();
    ServeHelper(L"ahead-first.exe");
    // The stalling server sends three of the engine's 256 KiB reads of the second file, then
    // nothing: its download never ends while the first installer waits at its gate.
    ServeHelper(L"ahead-second.exe", 1500000);
    Gate first(L"OrvantaAheadFirst");
    WritePackage(L"b",
                 {Fetched(L"AheadFirst", Servers().NginxUrl(L"ahead-first.exe"), &first),
                  Fetched(L"AheadSecond", Servers().FaultUrl(L"/stall/786432/ahead-second.exe"))},
                 {kAhead});
    Start();
    const HWND dialog = WaitForProgress();
    ASSERT_NE(dialog, nullptr);
    // The status line shows the install; the bar stands inside the second download's step, by
    // the bytes that arrived.
    ASSERT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT, L"Installing AheadFirst"));
    EXPECT_TRUE(WaitUntil([&] {
        const BarState bar = ReadBar(dialog, IDC_PROGRESS_BAR);
        return bar.position * 4 > bar.high * 3 && bar.position < bar.high;
    }));
    EXPECT_TRUE(LogContains(L"Starting download of:AheadSecond"));
    SaveScreenshot(dialog, L"download-ahead");

    PressButton(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntilGone(dialog));
    EXPECT_TRUE(WaitUntil([&] { return LogContains(L"Download failed. Error:"); }));  // the transfer stopped
    EXPECT_TRUE(chainer->Running());  // it waits for the installer that runs
    first.Open();
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(Marked(L"AheadFirst"));
    EXPECT_FALSE(Marked(L"AheadSecond"));
    EXPECT_EQ(Launches().size(), 2u);  // the first installer's launch and return code only
}

TEST_F(DownloadAhead, OrderReturnCodesAndExitCodeAreThoseOfTheRunWithoutIt)
{
    REQUIRE_TEST_SERVERS();
    ServeHelper(L"ahead-a.exe");
    ServeHelper(L"ahead-c.exe", 400000);
    const std::vector<Section> sections{
        Fetched(L"AheadA", Servers().NginxUrl(L"ahead-a.exe")),
        {L"[AheadB]", L"Options=i", L"SetupFile=helper.exe", L"CommandLine=" + Command(L"AheadB", nullptr, L"7")},
        Fetched(L"AheadC", Servers().FaultUrl(L"/drop/300000/ahead-c.exe"), nullptr, L"m"),
    };
    DWORD exitCodes[2];
    std::vector<std::wstring> launches[2];
    RunBothWays(L"q", sections, {}, exitCodes, launches);
    EXPECT_EQ(exitCodes[0], 0u);
    EXPECT_EQ(exitCodes[1], 0u);
    ASSERT_EQ(launches[0].size(), 6u);
    EXPECT_EQ(launches[0][3], L"Return code of launched file:7");  // not mandatory: the chain goes on
    EXPECT_EQ(launches[1], launches[0]);
    EXPECT_TRUE(Marked(L"AheadA"));
    EXPECT_TRUE(Marked(L"AheadC"));
}

TEST_F(DownloadAhead, FailedMandatoryDownloadEndsTheChainAfterTheInstallThatRuns)
{
    REQUIRE_TEST_SERVERS();
    ServeHelper(L"ahead-running.exe");
    Gate running(L"OrvantaAheadRunning");
    WritePackage(L"b",
                 {Fetched(L"AheadRunning", Servers().NginxUrl(L"ahead-running.exe"), &running),
                  Fetched(L"AheadMissing", Servers().NginxUrl(L"ahead-not-there.exe"), nullptr, L"m"),
                  Installer(L"AheadAfter", nullptr)},
                 {kAhead});
    const std::wstring resultFile = EnvironmentValue(L"ORVANTA_RESULT_FILES") + L"\\ahead-failed.json";
    ::DeleteFileW(resultFile.c_str());
    package.AppendToIni(L"ResultFile=" + resultFile);
    Start();
    const HWND dialog = WaitForProgress();
    ASSERT_NE(dialog, nullptr);
    // The failure shows while the first installer still runs; the installer after it never starts.
    EXPECT_TRUE(WaitUntil([&] {
        return ControlText(dialog, IDC_PROGRESS_TEXT).rfind(L"AheadMissing could not be downloaded: ", 0) == 0;
    }));
    EXPECT_TRUE(Logged(L"Server answered with HTTP status:404"));
    running.Open();
    EXPECT_TRUE(WaitUntil([&] { return Marked(L"AheadRunning"); }));
    ::Sleep(1000);
    EXPECT_TRUE(::IsWindowVisible(dialog));  // it stays until Cancel, as a failed download does
    PressButton(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntilGone(dialog));
    EXPECT_EQ(ExitCode(), 1u);  // the mandatory prerequisite is missing
    EXPECT_FALSE(Marked(L"AheadAfter"));
    // The failed download is recorded although no install waited for it.
    const std::string json = ReadBytes(resultFile);
    const size_t missing = json.find("{\"name\": \"AheadMissing\"");
    ASSERT_NE(missing, std::string::npos) << json;
    EXPECT_EQ(json.find("\"action\": \"downloadFailed\"", missing), json.find("\"action\": ", missing)) << json;
}

TEST_F(DownloadAhead, RestartRequestInTheMiddleStopsTheInstallsAndKeepsTheFiles)
{
    REQUIRE_TEST_SERVERS();
    ServeHelper(L"ahead-restart.exe");
    ServeHelper(L"ahead-later.exe");
    // A mandatory installer that asks for a restart ends the installs in both runs; KeepFiles
    // keeps its file for the run after the restart.
    const std::vector<Section> sections{
        Fetched(L"AheadRestart", Servers().NginxUrl(L"ahead-restart.exe"), nullptr, L"m", L"3010"),
        Fetched(L"AheadLater", Servers().NginxUrl(L"ahead-later.exe")),
    };
    DWORD exitCodes[2];
    std::vector<std::wstring> launches[2];
    RunBothWays(L"q", sections, {L"KeepFiles=prereqs"}, exitCodes, launches);
    EXPECT_EQ(exitCodes[0], kMinusOne);
    EXPECT_EQ(exitCodes[1], kMinusOne);
    EXPECT_EQ(launches[1], launches[0]);
    ASSERT_EQ(launches[1].size(), 2u);
    EXPECT_EQ(launches[1][1], L"Return code of launched file:3010");
    EXPECT_TRUE(FileExists(package.PathOf(L"downloads\\ahead-restart.exe")));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, L"InterbootContext"));
}
