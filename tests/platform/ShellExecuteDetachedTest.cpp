// The detached shell start. "runas" cannot be told apart from "open" under Wine and a retry
// without the no-interface flag may show the shell's error box, so a recorder sits in front of
// ShellExecuteExW; where it forwards, the start is real and its effect is checked.
#include "ChildProcesses.h"
#include "TestSupport.h"

#include "platform/ProcessLaunch.h"
#include "platform/UniqueResource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvanta;
using namespace install_tests;
using testing_support::TempDir;

namespace {

struct RecordedCall {
    ULONG mask;
    bool hasVerb;
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    std::wstring folder;
    int show;
};

std::vector<RecordedCall> g_calls;
// What the recorder does with the call of each position: forward it to the shell, or fail with
// the given instance result.
std::vector<INT_PTR> g_script;
constexpr INT_PTR kForward = 0;

std::wstring TextOrEmpty(const wchar_t* text)
{
    return text == nullptr ? std::wstring() : std::wstring(text);
}

bool Recorder(SHELLEXECUTEINFOW* info)
{
    const size_t position = g_calls.size();
    g_calls.push_back({info->fMask, info->lpVerb != nullptr, TextOrEmpty(info->lpVerb), TextOrEmpty(info->lpFile),
                       TextOrEmpty(info->lpParameters), TextOrEmpty(info->lpDirectory), info->nShow});
    const INT_PTR action = position < g_script.size() ? g_script[position] : kForward;
    if (action == kForward)
        return ::ShellExecuteExW(info) != FALSE;
    info->hInstApp = reinterpret_cast<HINSTANCE>(action);
    ::SetLastError(ERROR_NO_ASSOCIATION);
    return false;
}

class ShellExecuteDetachedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_script.clear();
    }

    // A script that writes its first argument into done.txt in its own folder.
    std::wstring WriteEchoScript(const std::wstring& folder, const std::wstring& name)
    {
        const std::wstring script = folder + L"\\" + name;
        EXPECT_TRUE(testing_support::WriteBytes(
            script, "@echo %~1> \"%~dp0out.tmp\"\r\n@move /y \"%~dp0out.tmp\" \"%~dp0done.txt\" > nul\r\n"));
        return script;
    }

    std::wstring WindowsFolder()
    {
        wchar_t buffer[MAX_PATH];
        return std::wstring(buffer, ::GetWindowsDirectoryW(buffer, MAX_PATH));
    }
};

} // namespace

TEST_F(ShellExecuteDetachedTest, OnlyAnElevatedScriptRunsThroughTheCommandProcessorWithRunas)
{
    TempDir temp;
    const std::wstring folder = temp / L"with space";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring script = WriteEchoScript(folder, L"clean.CMD");

    EXPECT_TRUE(ShellExecuteDetached(script, L"elevated", L"", true, Recorder));

    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].verb, L"runas");
    EXPECT_EQ(g_calls[0].file, WindowsFolder() + L"\\System32\\cmd.exe");
    EXPECT_EQ(g_calls[0].parameters, L"/C \"\"" + script + L"\" elevated\"");
    EXPECT_EQ(g_calls[0].mask, static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI));
    EXPECT_EQ(g_calls[0].show, SW_HIDE);
    EXPECT_TRUE(g_calls[0].folder.empty());
    // The quoting holds up in a real command processor: the script ran with its argument.
    ASSERT_TRUE(testing_support::WaitUntil([&] { return testing_support::FileExists(folder + L"\\done.txt"); }));
    EXPECT_EQ(testing_support::ReadBytes(folder + L"\\done.txt"), "elevated\r\n");

    // Without elevation the script starts directly, with "open" and its folder (a real start
    // of that kind is tests/e2e/CleanupRunTest.cpp's PowerShell); a program is never rewritten.
    g_calls.clear();
    g_script = {SE_ERR_FNF};
    EXPECT_TRUE(ShellExecuteDetached(script, L"plain", folder, false, Recorder));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].verb, L"open");
    EXPECT_EQ(g_calls[0].file, script);
    EXPECT_EQ(g_calls[0].folder, folder);
    g_calls.clear();
    g_script.clear();
    EXPECT_TRUE(ShellExecuteDetached(TestHelperPath(), L"--exit 0", L"", true, Recorder));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].verb, L"runas");
    EXPECT_EQ(g_calls[0].file, TestHelperPath());
    EXPECT_EQ(g_calls[0].parameters, L"--exit 0");
}

TEST_F(ShellExecuteDetachedTest, MissingAssociationIsRetriedWithTheDefaultVerbAndShellInterface)
{
    TempDir temp;
    const std::wstring document = temp / L"notes.orvantaunknown";
    ASSERT_TRUE(testing_support::WriteBytes(document, "x"));
    // The first call is real (the shell finds no association); the retry is only recorded.
    g_script = {kForward, SE_ERR_NOASSOC};

    EXPECT_TRUE(ShellExecuteDetached(document, L"", L"", false, Recorder));

    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].mask, static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS));
    EXPECT_FALSE(g_calls[1].hasVerb);
    EXPECT_EQ(g_calls[1].file, document);

    // Only association failures are retried; a failure still returns true.
    g_calls.clear();
    g_script = {SE_ERR_ASSOCINCOMPLETE, SE_ERR_NOASSOC};
    EXPECT_TRUE(ShellExecuteDetached(L"C:\\x\\a.doc", L"", L"", true, Recorder));
    EXPECT_EQ(g_calls.size(), 2u);

    g_calls.clear();
    g_script = {SE_ERR_FNF};
    EXPECT_TRUE(ShellExecuteDetached(L"C:\\x\\missing.exe", L"", L"", false, Recorder));
    EXPECT_EQ(g_calls.size(), 1u);
}
