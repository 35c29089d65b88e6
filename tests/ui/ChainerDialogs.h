// The fixture of the tests that run the built chainer with its dialogs: a package beside a copy of
// the chainer whose prerequisites are installed by the test helper, started and watched.
#pragma once

#include "ChainerPackage.h"
#include "DownloadTestSupport.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "ui/DialogIds.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ui_testing {

using namespace testing_support;

const wchar_t kTitle[] = L"Orvanta Chainer Setup";  // "%s Setup" with the chainer's ProductName
const wchar_t kMarks[] = L"Software\\OrvantaUiTest";
const DWORD kMinusOne = 0xFFFFFFFF;
const int kMessageBoxText = 0xFFFF;

using Section = std::vector<std::wstring>;

class ChainerDialogs : public ::testing::Test {
protected:
    void SetUp() override { package.AddTestHelper(L"helper.exe"); }

    // A prerequisite that counts as installed once HKCU\Software\OrvantaUiTest has its value.
    static Section Prerequisite(const std::wstring& name, const std::wstring& options = L"")
    {
        return {L"[" + name + L"]", L"Options=" + options, L"SearchType1=7",
                L"SearchString1=HKCU\\" + std::wstring(kMarks) + L"\\" + name};
    }
    // The helper's command line that installs `name`: first `before`, then a wait at the gate
    // (when given). The helper ignores "/q", which makes the chainer start it hidden, as a quiet
    // installer: its console window would cover the dialogs in the screenshots.
    static std::wstring Installs(const std::wstring& name, const Gate* gate, const std::wstring& before = L"")
    {
        return L"/q " + before + (gate != nullptr ? L"--wait " + gate->Name() + L" " : std::wstring()) +
               L"--set HKCU\\" + kMarks + L"\\" + name + L"=1 --exit 0";
    }
    static Section Installer(const std::wstring& name, const Gate* gate, const std::wstring& options = L"",
                             const std::wstring& before = L"")
    {
        Section section = Prerequisite(name, options);
        section.push_back(L"SetupFile=helper.exe");
        section.push_back(L"CommandLine=" + Installs(name, gate, before));
        return section;
    }
    static Section Download(const std::wstring& name, const std::wstring& url, const std::wstring& more = L"")
    {
        Section section = Prerequisite(name);
        section.push_back(L"Url=" + url);
        section.push_back(L"CommandLine=" + Installs(name, nullptr));
        if (!more.empty())
            section.push_back(more);
        return section;
    }

    void WritePackage(const std::wstring& generalOptions, const std::vector<Section>& sections,
                      const std::vector<std::wstring>& moreGeneral = {})
    {
        std::vector<std::wstring> general = {L"Options=" + generalOptions, L"ExtractionFolder=[SETUPEXEDIR]",
                                             L"DownloadFolder=" + package.Folder() + L"\\downloads"};
        general.insert(general.end(), moreGeneral.begin(), moreGeneral.end());
        package.WritePrerequisites(general, sections);
    }

    StartedProcess& Start()
    {
        chainer = std::make_unique<StartedProcess>(L"\"" + package.ExePath() + L"\"", package.Folder());
        EXPECT_TRUE(chainer->Started());
        return *chainer;
    }
    HWND WaitForProgress(const std::wstring& title = kTitle)
    {
        return WaitForDialog(chainer->Id(), title, IDC_PROGRESS_BAR);
    }
    // The exit code, or 0xDEAD when the chainer did not end (bounded).
    DWORD ExitCode()
    {
        DWORD code = 0;
        return chainer->Wait(code) ? code : 0xDEAD;
    }
    static bool Marked(const std::wstring& name)
    {
        std::wstring value;
        return ReadRegistryString(HKEY_CURRENT_USER, kMarks, name, value);
    }
    bool Logged(const std::wstring& line) const { return ContainsLine(package.LogLines(), line); }
    bool LogContains(const std::wstring& text) const
    {
        return ReadUtf16File(package.LogPath()).find(text) != std::wstring::npos;
    }

    ScratchKeys keys{{kMarks, L"InterbootContext"}};
    ChainerPackage package;
    std::unique_ptr<StartedProcess> chainer;
};

} // namespace ui_testing
