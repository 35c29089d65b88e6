// Silent runs of the built chainer that download their prerequisites over HTTP from nginx on
// 127.0.0.1, check size, MD5 and SHA-256, install them and find them on the re-check.
#include "download/Md5.h"
#include "download/Sha256.h"

#include "ChainerPackage.h"
#include "DownloadTestSupport.h"

#include <cwctype>

using namespace testing_support;

namespace {

const wchar_t kHelperKey[] = L"Software\\OrvantaDownloadRun";
const wchar_t kMsiProductCode[] = L"{5D0E6B41-2C7A-4E39-9B51-0E2F3C6A7D10}";  // runtime.msi

std::wstring Md5Of(const std::string& bytes)
{
    orvanta::Md5 md5;
    md5.Update(bytes.data(), bytes.size());
    char hex[33];
    orvanta::Md5::ToHex(md5.Finish(), hex);
    return std::wstring(hex, hex + 32);
}

// Upper case, as a package may write it; by the plain code, apart from the engine's fast one.
std::wstring UpperSha256Of(const std::string& bytes)
{
    orvanta::Sha256 sha256(orvanta::Sha256::Engine::Portable);
    sha256.Update(bytes.data(), bytes.size());
    char hex[65];
    orvanta::Sha256::ToHex(sha256.Finish(), hex);
    std::wstring text(hex, hex + 64);
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towupper(c));
    return text;
}

std::wstring WithOtherFirstDigit(std::wstring digest)
{
    digest[0] = digest[0] == L'0' ? L'1' : L'0';
    return digest;
}

class DownloadRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TEST_SERVERS();
        DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
        DeleteRegistryTree(HKEY_CURRENT_USER, kHelperKey);
        helper = ReadBytes(EnvironmentValue(L"ORVANTA_TESTHELPER"));
        ASSERT_FALSE(helper.empty());
        helperMd5 = Md5Of(helper);
        helperSha256 = UpperSha256Of(helper);
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
        DeleteRegistryTree(HKEY_CURRENT_USER, kHelperKey);
    }

    // A silent package with one mandatory prerequisite `name` to download from the test server
    // as `file`, launched with `commandLine` and found by the search lines `search`.
    void WritePackage(const std::wstring& name, const std::wstring& file, size_t size, const std::wstring& md5,
                      const std::wstring& commandLine, const std::vector<std::wstring>& search,
                      const std::wstring& moreGeneral = L"")
    {
        std::vector<std::wstring> lines{L"[GeneralOptions]", L"Options=q", L"DownloadFolder=[SETUPEXEDIR]downloads",
                                        moreGeneral, L"[PREREQUISITES]", L"App1=" + name, L"[" + name + L"]",
                                        L"Url=" + download_testing::Servers().NginxUrl(file),
                                        L"ExactSize=" + std::to_wstring(size), L"MD5=" + md5,
                                        L"CommandLine=" + commandLine, L"Options=m", L"RetValPropName=Ret"};
        lines.insert(lines.end(), search.begin(), search.end());
        lines.insert(lines.end(), {L"[PREREQ_CHAINER]", L"LogFile=" + package.LogPath()});
        package.WriteIni(lines);
    }
    // The test helper as prerequisite "Helper", found through the registry value it writes.
    void WriteHelperPackage(const std::wstring& file, const std::wstring& md5, const std::wstring& moreGeneral = L"",
                            const std::wstring& sha256 = L"")
    {
        WritePackage(L"Helper", file, helper.size(), md5,
                     L"--set HKCU\\Software\\OrvantaDownloadRun\\Helper\\Version=1.5 --exit 0",
                     {L"SearchType1=2", L"SearchString1=HKCU\\Software\\OrvantaDownloadRun\\Helper\\Version",
                      L"VerMin1=1.0", sha256.empty() ? L"" : L"SHA256=" + sha256},
                     moreGeneral);
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

TEST_F(DownloadRun, WrongMd5OrSha256IsRejectedAndNeverLaunched)
{
    const struct {
        const wchar_t* file;
        std::wstring md5;
        std::wstring sha256;
    } cases[] = {{L"run-helper-badmd5.exe", WithOtherFirstDigit(helperMd5), helperSha256},
                 {L"run-helper-badsha.exe", helperMd5, WithOtherFirstDigit(helperSha256)}};
    for (const auto& c : cases) {
        ASSERT_TRUE(download_testing::ServeFile(c.file, helper));
        // KeepFiles keeps accepted downloads only: the rejected file must go all the same, or a
        // later run would find it present by its size and launch it.
        WriteHelperPackage(c.file, c.md5, L"KeepFiles=complete", c.sha256);
        EXPECT_EQ(package.RunForExitCode(), 1u) << c.file;  // the mandatory prerequisite is still missing

        const auto lines = package.LogLines();
        EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was rejected.(Invalid size or MD5).")) << c.file;
        EXPECT_FALSE(ContainsLine(lines, L"Launching file:" + DownloadedPath(c.file)));
        EXPECT_FALSE(HelperInstalled());
        EXPECT_FALSE(FileExists(DownloadedPath(c.file)));
    }
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

TEST_F(DownloadRun, WindowsInstallerPackageIsDownloadedAndInstalled)
{
    RunProcess(std::wstring(L"msiexec /x ") + kMsiProductCode + L" /qn");
    const std::string msi = ReadBytes(BuiltPackage(L"runtime.msi"));
    ASSERT_FALSE(msi.empty());
    ASSERT_TRUE(download_testing::ServeFile(L"run-runtime.msi", msi));
    WritePackage(L"Runtime", L"run-runtime.msi", msi.size(), Md5Of(msi), L"/qn",
                 {L"SearchType1=3", std::wstring(L"SearchString1=") + kMsiProductCode, L"VerMin1=3.0"});
    const DWORD exitCode = package.RunForExitCode();
    RunProcess(std::wstring(L"msiexec /x ") + kMsiProductCode + L" /qn");
    EXPECT_EQ(exitCode, 0u);
    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was accepted."));
    EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + DownloadedPath(L"run-runtime.msi")));
    EXPECT_TRUE(ContainsLine(lines, L"Return code of launched file:0"));
    EXPECT_TRUE(ContainsLine(lines, L"Search result:An acceptable version was found."));
}
