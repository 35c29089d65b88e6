// Basic-interface runs with ExitCodes=msi whose end only a person can bring about: Cancel, and the
// answer to the restart question. Their result files go to ORVANTA_RESULT_FILES for the schema.
#include "ChainerDialogs.h"

#include <gtest/gtest.h>

using namespace testing_support;
using namespace ui_testing;

namespace {

class ResultFileDialogs : public ChainerDialogs {
protected:
    // Writes the package with ExitCodes=msi and a result file named `name`; its path.
    std::wstring WriteMsiPackage(const std::wstring& name, const std::vector<Section>& sections)
    {
        WritePackage(L"b", sections, {L"ExitCodes=msi"});
        const std::wstring path = EnvironmentValue(L"ORVANTA_RESULT_FILES") + L"\\" + name + L".json";
        ::DeleteFileW(path.c_str());
        package.AppendToIni(L"ResultFile=" + path);
        return path;
    }
};

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(ResultFileDialogs, CancelEndsWith1602AndTheFileSaysWhatWasNotStarted)
{
    for (const wchar_t* options : {L"", L"m"}) {
        SCOPED_TRACE(options);
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        Gate first(L"OrvantaUiResultCancel");
        const std::wstring path = WriteMsiPackage(std::wstring(L"cancel-") + (options[0] ? L"mandatory" : L"plain"),
                                                  {Installer(L"Alpha", &first), Installer(L"Beta", nullptr, options)});
        Start();
        const HWND dialog = WaitForProgress();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT, L"Installing Alpha"));
        PressButton(dialog, IDCANCEL);
        EXPECT_TRUE(WaitUntilGone(dialog));
        first.Open();
        EXPECT_EQ(ExitCode(), 1602u);

        const std::string json = ReadBytes(path);
        EXPECT_TRUE(Has(json, options[0] ? "\"outcome\": \"canceledMandatoryMissing\"" : "\"outcome\": \"canceled\","))
            << json;
        EXPECT_TRUE(Has(json, "{\"name\": \"Alpha\", \"firstDecision\": \"installFromPackage\", \"finalDecision\": "
                              "\"acceptableFound\", \"action\": \"installedFromPackage\"")) << json;
        EXPECT_TRUE(Has(json, "{\"name\": \"Beta\", \"firstDecision\": \"installFromPackage\", \"finalDecision\": "
                              "\"installFromPackage\", \"action\": \"notStarted\"")) << json;
    }
}

TEST_F(ResultFileDialogs, RestartStartedEndsWith1641AndARefusedOneWith0)
{
    const std::wstring fakeRestart = EnvironmentValue(L"ORVANTA_CHAINER_FAKE_RESTART");
    ASSERT_FALSE(fakeRestart.empty());
    // Only the chainer whose restart is a seam may hear Yes.
    ASSERT_TRUE(::CopyFileW(fakeRestart.c_str(), package.ExePath().c_str(), FALSE));
    const struct {
        int answer;
        DWORD exitCode;
        const char* reboot;
    } cases[] = {{IDYES, 1641, "{\"required\": true, \"started\": true, \"refused\": false}"},
                 {IDNO, 0, "{\"required\": true, \"started\": false, \"refused\": true}"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        const std::wstring path = WriteMsiPackage(c.answer == IDYES ? L"restart-yes" : L"restart-no",
                                                  {Installer(L"Runtime", nullptr, L"r")});
        Start();
        const HWND question = WaitForDialog(chainer->Id(), L"Confirmation");
        ASSERT_NE(question, nullptr);
        PressButton(question, c.answer);
        EXPECT_EQ(ExitCode(), c.exitCode);
        const std::string json = ReadBytes(path);
        EXPECT_TRUE(Has(json, "\"exitCode\": " + std::to_string(c.exitCode) + ", \"exitCodes\": \"msi\"")) << json;
        EXPECT_TRUE(Has(json, c.reboot)) << json;
    }
}
