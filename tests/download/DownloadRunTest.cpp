// Silent runs of the built chainer that download their prerequisites over HTTP from nginx on
// 127.0.0.1, check size, MD5 and SHA-256, install them and find them on the re-check. The
// digest verdicts per transport are the stage tests' table; these follow whole runs.
#include "ChainerPackage.h"
#include "DownloadTestSupport.h"

#include <cwctype>

using namespace testing_support;

namespace {

const wchar_t kHelperKey[] = L"Software\\OrvantaDownloadRun";

class DownloadRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TEST_SERVERS();
        DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
        DeleteRegistryTree(HKEY_CURRENT_USER, kHelperKey);
        helper = ReadBytes(EnvironmentValue(L"ORVANTA_TESTHELPER"));
        ASSERT_FALSE(helper.empty());
        helperMd5 = download_testing::Md5Hex(helper);
        // Upper case, as a package may write it.
        helperSha256 = download_testing::Sha256Hex(helper);
        for (wchar_t& c : helperSha256)
            c = static_cast<wchar_t>(towupper(c));
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
        DeleteRegistryTree(HKEY_CURRENT_USER, kHelperKey);
    }

    // A silent package with the test helper as its one mandatory prerequisite "Helper", to
    // download from the test server as `file` and found through the registry value it writes.
    void WriteHelperPackage(const std::wstring& file, const std::wstring& md5, const std::wstring& moreGeneral = L"",
                            const std::wstring& sha256 = L"")
    {
        package.WriteIni({L"[GeneralOptions]", L"Options=q", L"DownloadFolder=[SETUPEXEDIR]downloads", moreGeneral,
                          L"[PREREQUISITES]", L"App1=Helper", L"[Helper]",
                          L"Url=" + download_testing::Servers().NginxUrl(file),
                          L"ExactSize=" + std::to_wstring(helper.size()), L"MD5=" + md5,
                          L"CommandLine=--set HKCU\\Software\\OrvantaDownloadRun\\Helper\\Version=1.5 --exit 0",
                          L"Options=m", L"RetValPropName=Ret", L"SearchType1=2",
                          L"SearchString1=HKCU\\Software\\OrvantaDownloadRun\\Helper\\Version", L"VerMin1=1.0",
                          sha256.empty() ? L"" : L"SHA256=" + sha256, L"[PREREQ_CHAINER]",
                          L"LogFile=" + package.LogPath()});
    }

    std::wstring DownloadedPath(const std::wstring& name) const { return package.PathOf(L"downloads\\" + name); }

    bool HelperInstalled() const
    {
        std::wstring version;
        return ReadRegistryString(HKEY_CURRENT_USER, L"Software\\OrvantaDownloadRun\\Helper", L"Version", version) &&
               version == L"1.5";
    }

    ChainerPackage package;
    std::string helper;
    std::wstring helperMd5;
    std::wstring helperSha256;
};

} // namespace

TEST_F(DownloadRun, SetupProgramIsDownloadedCheckedInstalledAndDeletedAfterTheRun)
{
    ASSERT_TRUE(download_testing::ServeFile(L"run-helper-setup.exe", helper));
    WriteHelperPackage(L"run-helper-setup.exe", helperMd5, L"", helperSha256);
    EXPECT_EQ(package.RunForExitCode(), 0u);

    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Search result:No acceptable version found. It must be downloaded."));
    EXPECT_TRUE(ContainsLine(lines, L"Starting download of:Helper"));
    EXPECT_TRUE(ContainsLine(lines, L"Download completed succesfully."));
    EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was accepted."));
    EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + DownloadedPath(L"run-helper-setup.exe")));
    EXPECT_TRUE(ContainsLine(lines, L"Return code of launched file:0"));
    EXPECT_TRUE(ContainsLine(lines, L"Search result:An acceptable version was found."));
    EXPECT_TRUE(HelperInstalled());
    // Without KeepFiles the download is deleted when the run ends, and so is its folder. The
    // installer ran in that folder: Wine removes it only once the ended process has let go of
    // it, a moment later (bounded wait).
    EXPECT_FALSE(FileExists(DownloadedPath(L"run-helper-setup.exe")));
    for (int i = 0; i < 100 && ::GetFileAttributesW(package.PathOf(L"downloads").c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        ::Sleep(20);
    EXPECT_EQ(::GetFileAttributesW(package.PathOf(L"downloads").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DownloadRun, WrongSha256IsRejectedAndNeverLaunched)
{
    std::wstring otherSha256 = helperSha256;
    otherSha256[0] = otherSha256[0] == L'0' ? L'1' : L'0';
    ASSERT_TRUE(download_testing::ServeFile(L"run-helper-badsha.exe", helper));
    // KeepFiles keeps accepted downloads only: the rejected file must go all the same, or a
    // later run would find it present by its size and launch it.
    WriteHelperPackage(L"run-helper-badsha.exe", helperMd5, L"KeepFiles=complete", otherSha256);
    EXPECT_EQ(package.RunForExitCode(), 1u);  // the mandatory prerequisite is still missing

    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was rejected.(Invalid size or MD5)."));
    EXPECT_FALSE(ContainsLine(lines, L"Launching file:" + DownloadedPath(L"run-helper-badsha.exe")));
    EXPECT_FALSE(HelperInstalled());
    EXPECT_FALSE(FileExists(DownloadedPath(L"run-helper-badsha.exe")));
}

TEST_F(DownloadRun, FileAlreadyDownloadedWithTheExactSizeIsNotFetchedAgain)
{
    ASSERT_TRUE(::CreateDirectoryW(package.PathOf(L"downloads").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(DownloadedPath(L"run-helper-present.exe"), helper));
    // Not on the server: a fetch would fail the run.
    WriteHelperPackage(L"run-helper-present.exe", helperMd5);
    EXPECT_EQ(package.RunForExitCode(), 0u);

    const auto lines = package.LogLines();
    EXPECT_FALSE(ContainsLine(lines, L"Starting download of:Helper"));
    EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + DownloadedPath(L"run-helper-present.exe")));
    EXPECT_TRUE(HelperInstalled());
    // Only what this run downloaded is deleted.
    EXPECT_TRUE(FileExists(DownloadedPath(L"run-helper-present.exe")));
}

TEST_F(DownloadRun, PlantedFileWithTheExactSizeButOtherContentIsReplacedNotLaunched)
{
    ASSERT_TRUE(::CreateDirectoryW(package.PathOf(L"downloads").c_str(), nullptr));
    const std::wstring planted = DownloadedPath(L"run-helper-planted.exe");
    ASSERT_TRUE(WriteBytes(planted, std::string(helper.size(), 'x')));
    ASSERT_TRUE(download_testing::ServeFile(L"run-helper-planted.exe", helper));
    WriteHelperPackage(L"run-helper-planted.exe", L"", L"", helperSha256);
    EXPECT_EQ(package.RunForExitCode(), 0u);

    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"File in the download folder was rejected and deleted:" + planted));
    EXPECT_TRUE(ContainsLine(lines, L"Starting download of:Helper"));
    EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was accepted."));
    EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + planted));
    EXPECT_TRUE(HelperInstalled());
}

