// Silent runs of the built chainer that download their prerequisites over HTTP from the test
// server on 127.0.0.1, check size, MD5 and SHA-256, install them and find them on the re-check.
#include "download/FileDigests.h"

#include "ChainerPackage.h"
#include "ServerSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cwctype>

using namespace testing_support;

namespace {

const wchar_t kHelperKey[] = L"Software\\OrvantaDownloadRun";
const wchar_t kMsiProductCode[] = L"{8A3F2C61-94B7-4D0E-A15C-6B2D7E9F0C31}";

std::wstring BuiltPackage(const std::wstring& name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.resize(folder.rfind(L'\\'));
    return folder + L"\\packages\\" + name;
}

// The MD5 (false) or SHA-256 (true) of the bytes as hex text.
std::wstring DigestOf(const std::string& bytes, const std::wstring& scratch, bool sha256 = false)
{
    orvanta::ContentDigests digests;
    if (!WriteBytes(scratch, bytes) || orvanta::ComputeFileDigests(scratch, !sha256, sha256, digests) != 0)
        return L"";
    ::DeleteFileW(scratch.c_str());
    const std::string hex = sha256 ? digests.sha256 : digests.md5;
    return std::wstring(hex.begin(), hex.end());
}

std::wstring Uppercase(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towupper(c));
    return text;
}

class DownloadRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = HttpServerBaseUrl();
        ASSERT_FALSE(base.empty()) << "the HTTP test server is not running";
        DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
        DeleteRegistryTree(HKEY_CURRENT_USER, kHelperKey);
        helper = ReadBytes(EnvironmentValue(L"ORVANTA_TESTHELPER"));
        ASSERT_FALSE(helper.empty());
        helperMd5 = DigestOf(helper, package.PathOf(L"scratch.bin"));
        ASSERT_EQ(helperMd5.size(), 32u);
        helperSha256 = DigestOf(helper, package.PathOf(L"scratch.bin"), true);
        ASSERT_EQ(helperSha256.size(), 64u);
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
                                        L"Url=" + base + file, L"ExactSize=" + std::to_wstring(size),
                                        L"MD5=" + md5, L"CommandLine=" + commandLine, L"Options=m",
                                        L"RetValPropName=Ret"};
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

    // Runs the package; its exit code, or -1 when it did not finish.
    int64_t Run()
    {
        const ProcessResult result = package.Run();
        return result.finished ? static_cast<int64_t>(result.exitCode) : -1;
    }

    ChainerPackage package;
    std::wstring base;
    std::string helper;
    std::wstring helperMd5;
    std::wstring helperSha256;
};

} // namespace

TEST_F(DownloadRun, SetupProgramIsDownloadedCheckedInstalledAndDeletedAfterTheRun)
{
    ASSERT_TRUE(ServeFile(L"run-helper-setup.exe", helper));
    // Both digests, the SHA-256 in upper case.
    WriteHelperPackage(L"run-helper-setup.exe", helperMd5, L"", Uppercase(helperSha256));
    EXPECT_EQ(Run(), 0);

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
    auto wrong = [](std::wstring digest) {
        digest[0] = digest[0] == L'0' ? L'1' : L'0';
        return digest;
    };
    const struct {
        const wchar_t* file;
        std::wstring md5;
        std::wstring sha256;
    } cases[] = {{L"run-helper-badmd5.exe", wrong(helperMd5), helperSha256},
                 {L"run-helper-badsha.exe", helperMd5, wrong(helperSha256)}};
    for (const auto& c : cases) {
        ASSERT_TRUE(ServeFile(c.file, helper));
        // KeepFiles keeps accepted downloads only: the rejected file must go all the same, or a
        // later run would find it present by its size and launch it.
        WriteHelperPackage(c.file, c.md5, L"KeepFiles=complete", c.sha256);
        EXPECT_EQ(Run(), 1) << c.file;  // the mandatory prerequisite is still missing

        const auto lines = package.LogLines();
        EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was rejected.(Invalid size or MD5)."));
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
    EXPECT_EQ(Run(), 0);

    const auto lines = package.LogLines();
    EXPECT_FALSE(ContainsLine(lines, L"Starting download of:Helper"));
    EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + DownloadedPath(L"run-helper-present.exe")));
    EXPECT_TRUE(HelperInstalled());
    EXPECT_EQ(HttpRequestLog().find("run-helper-present.exe"), std::string::npos);
    // Only what this run downloaded is deleted.
    EXPECT_TRUE(FileExists(DownloadedPath(L"run-helper-present.exe")));
}

TEST_F(DownloadRun, PlantedFileWithTheExactSizeButOtherContentIsReplacedNotLaunched)
{
    ASSERT_TRUE(::CreateDirectoryW(package.PathOf(L"downloads").c_str(), nullptr));
    const std::wstring planted = DownloadedPath(L"run-helper-planted.exe");
    ASSERT_TRUE(WriteBytes(planted, std::string(helper.size(), 'x')));
    ASSERT_TRUE(ServeFile(L"run-helper-planted.exe", helper));
    WriteHelperPackage(L"run-helper-planted.exe", L"", L"", helperSha256);
    EXPECT_EQ(Run(), 0);

    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"File in the download folder was rejected and deleted:" + planted));
    EXPECT_TRUE(ContainsLine(lines, L"Starting download of:Helper"));
    EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was accepted."));
    EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + planted));
    EXPECT_TRUE(HelperInstalled());
    EXPECT_NE(HttpRequestLog().find("run-helper-planted.exe"), std::string::npos);
}

TEST_F(DownloadRun, WindowsInstallerPackageIsDownloadedAndInstalled)
{
    RunProcess(std::wstring(L"msiexec /x ") + kMsiProductCode + L" /qn");
    const std::string msi = ReadBytes(BuiltPackage(L"dlruntime.msi"));
    ASSERT_FALSE(msi.empty());
    ASSERT_TRUE(ServeFile(L"run-dlruntime.msi", msi));
    WritePackage(L"Download Runtime", L"run-dlruntime.msi", msi.size(), DigestOf(msi, package.PathOf(L"scratch.msi")),
                 L"/qn", {L"SearchType1=3", std::wstring(L"SearchString1=") + kMsiProductCode, L"VerMin1=2.0"});
    const int64_t exitCode = Run();
    RunProcess(std::wstring(L"msiexec /x ") + kMsiProductCode + L" /qn");
    EXPECT_EQ(exitCode, 0);
    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was accepted."));
    EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + DownloadedPath(L"run-dlruntime.msi")));
    EXPECT_TRUE(ContainsLine(lines, L"Return code of launched file:0"));
    EXPECT_TRUE(ContainsLine(lines, L"Search result:An acceptable version was found."));
}
