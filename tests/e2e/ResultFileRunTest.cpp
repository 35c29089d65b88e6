// Silent runs that leave a result file: it agrees with the log, keeps passwords out, is written
// at every ending (a crash included) and never changes the exit code when it cannot be written.
// Every file lands in ORVANTA_RESULT_FILES, which a later CTest step checks against the schema.
#include "ChainerPackage.h"
#include "DownloadTestSupport.h"
#include "TestSupport.h"
#include "run/ResultFile.h"

#include <gtest/gtest.h>

#include <functional>

using namespace testing_support;
using download_testing::Servers;

namespace {

const wchar_t kMarks[] = L"Software\\OrvantaResultFile";

class ResultFileRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        package.AddTestHelper(L"helper.exe");
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        ::SetEnvironmentVariableW(L"ORVANTA_INJECT_FAULT", nullptr);
    }

    static std::wstring ResultPath(const std::wstring& name)
    {
        return EnvironmentValue(L"ORVANTA_RESULT_FILES") + L"\\" + name + L".json";
    }
    // A prerequisite found once HKCU\Software\OrvantaResultFile has its value, installed by the
    // helper, which ends with `exitCode` (and installs it only for 0 and 3010).
    static IniSection Installer(const std::wstring& name, const std::wstring& exitCode,
                                const std::vector<std::wstring>& more = {L"SetupFile=helper.exe"})
    {
        const std::wstring value = std::wstring(L"HKCU\\") + kMarks + L"\\" + std::to_wstring(std::hash<std::wstring>()(name));
        const std::wstring sets = exitCode == L"0" || exitCode == L"3010" ? L"--set " + value + L"=1 " : L"";
        IniSection section{L"[" + name + L"]", L"SearchType1=7", L"SearchString1=" + value,
                           L"CommandLine=" + sets + L"--exit " + exitCode};
        section.insert(section.end(), more.begin(), more.end());
        return section;
    }
    // Runs the package with `general` and ResultFile=`result`; the exit code.
    DWORD RunWith(const std::vector<std::wstring>& general, const std::vector<IniSection>& sections,
                  const std::wstring& result)
    {
        std::vector<std::wstring> lines = general;
        lines.insert(lines.begin(), {L"Options=q", L"ExtractionFolder=[SETUPEXEDIR]"});
        lines.push_back(L"DownloadFolder=" + package.Folder() + L"\\downloads");
        package.WritePrerequisites(lines, sections);
        package.AppendToIni(L"ResultFile=" + result);
        ::DeleteFileW(package.LogPath().c_str());
        return package.RunForExitCode();
    }
    std::string Result(const std::wstring& name) const { return ReadBytes(ResultPath(name)); }

    ChainerPackage package;
};

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string WideToAscii(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

} // namespace

TEST_F(ResultFileRun, EachEndingWritesItsFileAndItsMsiExitCode)
{
    REQUIRE_TEST_SERVERS();
    const struct {
        const wchar_t* name;
        const wchar_t* style;  // the ExitCodes line, or none
        const wchar_t* exitCode;
        const wchar_t* options;
        DWORD expected;
        const char* outcome;
    } rows[] = {
        {L"success-msi", L"ExitCodes=msi", L"0", L"m", 0, "\"outcome\": \"completed\""},
        {L"missing-msi", L"ExitCodes=msi", L"1", L"m", 1603, "\"outcome\": \"mandatoryMissing\""},
        {L"missing-classic", L"", L"1", L"m", 1, "\"outcome\": \"mandatoryMissing\""},
        {L"reboot-msi", L"ExitCodes=msi", L"3010", L"", 3010, "\"outcome\": \"rebootRequired\""},
        {L"reboot-classic", L"ExitCodes=MSI", L"3010", L"", 0xFFFFFFFF, "\"exitCodes\": \"classic\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
        // A name beyond the BMP and with a quote; a download from nginx with a password in its
        // URL; one that the fault server fails; one for ARM64 only.
        const std::wstring runtime = L"Runtime \"\U0001F600\"";
        const std::wstring secretUrl = Servers().NginxUrl(L"result-helper.exe");
        ASSERT_TRUE(download_testing::ServeFile(L"result-helper.exe", ReadBytes(package.PathOf(L"helper.exe"))));
        const std::vector<IniSection> sections{
            Installer(L"Fetched", L"0", {L"Url=" + secretUrl.substr(0, 7) + L"user:Secret99@" + secretUrl.substr(7)}),
            Installer(L"Missing file", L"0", {L"Url=" + Servers().FaultUrl(L"/status/503")}),
            {L"[Arm only]", L"Options=d", L"SetupFile=helper.exe"},
            Installer(runtime, row.exitCode, {L"Options=" + std::wstring(row.options), L"SetupFile=helper.exe"}),
        };
        const std::wstring path = ResultPath(row.name);
        ::DeleteFileW(path.c_str());
        EXPECT_EQ(RunWith({row.style}, sections, path), row.expected);

        const std::string json = Result(row.name);
        const std::wstring log = ReadUtf16File(package.LogPath());
        EXPECT_TRUE(Has(json, row.outcome)) << json;
        EXPECT_TRUE(Has(json, "\"exitCode\": " + std::to_string(static_cast<int32_t>(row.expected)) + ",")) << json;
        EXPECT_TRUE(Has(json, "{\"name\": \"Runtime \\\"\xF0\x9F\x98\x80\\\"\"")) << json;
        EXPECT_TRUE(Has(json, "\"action\": \"downloadedAndInstalled\"")) << json;
        EXPECT_TRUE(Has(json, "\"action\": \"skippedByProcessor\"")) << json;
        // The failed download's error is the log's line.
        EXPECT_TRUE(Has(json, "\"action\": \"downloadFailed\"")) << json;
        EXPECT_TRUE(Has(json, "\"error\": \"Download failed. Error:")) << json;
        EXPECT_NE(log.find(L"-Download failed. Error:"), std::wstring::npos);
        EXPECT_TRUE(Has(json, "\"install\": {\"returnCode\": " + WideToAscii(row.exitCode) + ",")) << json;
        EXPECT_FALSE(Has(json, "Secret99") || Has(json, "user:")) << json;
        EXPECT_TRUE(Has(json, "\"url\": " + orvanta::JsonString(secretUrl) + ", \"mirror\": 0, \"bytesReceived\": "))
            << json;
        EXPECT_EQ(log.find(L"Secret99"), std::wstring::npos);
        EXPECT_NE(log.find(L"-Result file written: " + path), std::wstring::npos);
    }
}

TEST_F(ResultFileRun, AFileThatCannotBeWrittenIsLoggedAndTheExitCodeStays)
{
    // A folder in the file's place, and a folder that does not exist.
    TempDir folder;
    ASSERT_TRUE(::CreateDirectoryW((folder / L"taken.json").c_str(), nullptr));
    for (const std::wstring& path : {folder / L"taken.json", folder / L"missing\\result.json"}) {
        SCOPED_TRACE(testing::Message() << path.size());
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        EXPECT_EQ(RunWith({}, {Installer(L"Runtime", L"1", {L"Options=m", L"SetupFile=helper.exe"})}, path), 1u);
        const std::wstring log = ReadUtf16File(package.LogPath());
        EXPECT_NE(log.find(L"-Result file could not be written: " + path + L". Error:"), std::wstring::npos) << log;
        EXPECT_NE(::GetFileAttributesW((folder / L"taken.json").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
        EXPECT_FALSE(FileExists(folder / L"missing\\result.json"));
    }
    // The path is taken from the package's folder and its references are expanded.
    EXPECT_EQ(RunWith({L"ExitCodes=msi"}, {Installer(L"Runtime", L"0")}, L"[SETUPEXEDIR]\\result.json"), 0u);
    EXPECT_TRUE(Has(ReadBytes(package.PathOf(L"result.json")), "\"outcome\": \"completed\""));
}

TEST_F(ResultFileRun, ARunThatFaultsStillWritesWhatItKnew)
{
    REQUIRE_TEST_SERVERS();
    ChainerPackage faulting{L"setup.exe", L"ORVANTA_FAULT_CHAINER"};
    faulting.AddTestHelper(L"helper.exe");
    // During the download: a fault on WinINet's thread (outside every guarded frame) and one on a
    // digest worker (handed to the main thread).
    for (const wchar_t* mode : {L"status-callback", L"digest-worker"}) {
        SCOPED_TRACE(mode);
        const std::wstring path = ResultPath(std::wstring(L"fault-") + mode);
        ::DeleteFileW(path.c_str());
        faulting.WritePrerequisites({L"Options=q", L"ExitCodes=msi",
                                     L"DownloadFolder=" + faulting.Folder() + L"\\downloads"},
                                    {Installer(L"First", L"0", {L"Url=" + Servers().NginxUrl(L"small.bin"),
                                                               L"MD5=00000000000000000000000000000000"})});
        faulting.AppendToIni(L"ResultFile=" + path);
        ::SetEnvironmentVariableW(L"ORVANTA_INJECT_FAULT", mode);
        EXPECT_EQ(faulting.RunForExitCode(), 1603u);
        const std::string json = ReadBytes(path);
        EXPECT_TRUE(Has(json, "\"exitCode\": 1603, \"exitCodes\": \"msi\", \"outcome\": \"failed\"")) << json;
        EXPECT_TRUE(Has(json, "{\"name\": \"First\", \"firstDecision\": \"download\"")) << json;
    }
}
