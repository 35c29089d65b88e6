// Silent runs of the built chainer that download their prerequisites over HTTP from nginx on
// 127.0.0.1, check size, MD5 and SHA-256, install them and find them on the re-check. The
// digest verdicts per transport are the stage tests' table; these follow whole runs.
#include "ChainerPackage.h"
#include "DownloadTestSupport.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <memory>
#include <sstream>

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
    // A whole URL may stand for the file.
    void WriteHelperPackage(const std::wstring& file, const std::wstring& md5, const std::wstring& moreGeneral = L"",
                            const std::wstring& sha256 = L"")
    {
        const bool url = file.find(L"://") != std::wstring::npos;
        package.WriteIni({L"[GeneralOptions]", L"Options=q", L"DownloadFolder=[SETUPEXEDIR]downloads", moreGeneral,
                          L"[PREREQUISITES]", L"App1=Helper", L"[Helper]",
                          L"Url=" + (url ? file : download_testing::Servers().NginxUrl(file)),
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

TEST_F(DownloadRun, FailuresSayInWordsWhatHappenedAndWhereAndNothingIsLaunched)
{
    using download_testing::Servers;
    std::wstring otherSha256 = helperSha256;
    otherSha256[0] = otherSha256[0] == L'0' ? L'1' : L'0';
    ASSERT_TRUE(download_testing::ServeFile(L"run-helper-badsha.exe", helper));
    ASSERT_TRUE(download_testing::ServeFile(L"run-helper-proxied.exe", helper));
    const struct {
        std::wstring file;  // on nginx, or a whole URL
        std::wstring sha256;
        int proxy;                // the run's system proxy; 0: none
        const wchar_t* failure;   // the line the words follow; null: the download works
        std::wstring words;
    } cases[] = {
        // KeepFiles keeps accepted downloads only: the rejected file must go all the same, or a
        // later run would find it present by its size and launch it.
        {L"run-helper-badsha.exe", otherSha256, 0, L"Downloaded file was rejected.(Invalid size or MD5).",
         L"The downloaded file does not match its SHA256."},
        {L"not-there.exe", L"", 0, L"Download failed. Error:-536870888",
         L"404 Not Found from 127.0.0.1:" + std::to_wstring(Servers().http)},
        // WinINet's own text (Wine's wording).
        {L"http://127.0.0.1:1/unreachable.exe", L"", 0, L"Download failed. Error:12029",
         L"The attempt to connect to the server failed (127.0.0.1:1)."},
        {L"run-helper-proxied.exe", helperSha256, Servers().proxyLogin, L"Download failed. Error:-536870894",
         L"The proxy 127.0.0.1 requires a login."},
        {L"run-helper-proxied.exe", helperSha256, Servers().proxy, nullptr, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + L" through " + std::to_wstring(c.proxy));
        WriteHelperPackage(c.file, helperMd5, L"KeepFiles=complete", c.sha256);
        std::unique_ptr<download_testing::ProxyForChildren> proxy;
        if (c.proxy != 0)
            proxy = std::make_unique<download_testing::ProxyForChildren>(c.proxy);
        ::DeleteFileW(package.LogPath().c_str());
        EXPECT_EQ(package.RunForExitCode(), c.failure == nullptr ? 0u : 1u);  // the prerequisite is mandatory
        proxy.reset();

        const auto lines = package.LogLines();
        const std::wstring name = c.file.substr(c.file.rfind(L'/') + 1);
        EXPECT_EQ(ContainsLine(lines, L"Launching file:" + DownloadedPath(name)), c.failure == nullptr);
        EXPECT_EQ(HelperInstalled(), c.failure == nullptr);
        if (c.failure == nullptr) {
            std::string request = "GET ";
            for (const wchar_t ch : Servers().NginxUrl(name))
                request += static_cast<char>(ch);
            EXPECT_NE(ReadBytes(Servers().proxyLog).find(request), std::string::npos)
                << "the proxy did not carry the download";
            DeleteRegistryTree(HKEY_CURRENT_USER, kHelperKey);
            continue;
        }
        EXPECT_FALSE(FileExists(DownloadedPath(name)));
        const auto failure = std::find(lines.begin(), lines.end(), c.failure);
        ASSERT_NE(failure, lines.end());
        ASSERT_NE(failure + 1, lines.end());
        EXPECT_EQ(failure[1], c.words);
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

// The prefix trusts the test authority. Wine's WinINet checks no revocation: it reports an
// authority it cannot find (the stray one) as 12057, which the engine takes for a revocation
// server out of reach and retries without that check, and then as an unknown authority.
TEST_F(DownloadRun, TrustedHttpsNeedsNoQuestionWhileADowngradeOrABadCertificateFailsTheSilentRun)
{
    using download_testing::Servers;
    const std::wstring file = L"run-helper-secure.exe";
    ASSERT_TRUE(download_testing::ServeFile(file, helper));
    const auto secure = [&](int port, const std::wstring& login, const std::wstring& path) {
        return L"https://" + login + L"127.0.0.1:" + std::to_wstring(port) + path + file;
    };
    const std::wstring stray = secure(Servers().httpsStrayIssuer, L"", L"/");
    const struct {
        std::wstring url;
        const wchar_t* failure;  // null: the download works
        std::wstring notice;     // a line the log must hold
    } cases[] = {
        {secure(Servers().httpsTrusted, L"", L"/"), nullptr, L"Downloaded file was accepted."},
        {Servers().NginxUrl(L"to-https/" + file), nullptr, L"Downloaded file was accepted."},
        {secure(Servers().httpsTrusted, L"tester:secret@", L"/to-http/"), L"Download failed. Error:12040",
         L"Redirect from HTTPS to HTTP was refused: " + secure(Servers().httpsTrusted, L"", L"/to-http/") +
             L" -> " + Servers().NginxUrl(file)},
        {secure(Servers().httpsOtherHost, L"", L"/"), L"Download failed. Error:12038", L""},
        {secure(Servers().httpsExpired, L"", L"/"), L"Download failed. Error:12037", L""},
        {stray, L"Download failed. Error:12045",
         L"Certificate revocation could not be checked for " + stray + L"; the download goes on without that check."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        WriteHelperPackage(c.url, helperMd5, L"", helperSha256);
        ::DeleteFileW(package.LogPath().c_str());
        EXPECT_EQ(package.RunForExitCode(), c.failure == nullptr ? 0u : 1u);
        EXPECT_EQ(HelperInstalled(), c.failure == nullptr);
        DeleteRegistryTree(HKEY_CURRENT_USER, kHelperKey);
        const auto lines = package.LogLines();
        EXPECT_TRUE(c.failure == nullptr || ContainsLine(lines, c.failure));
        EXPECT_TRUE(c.notice.empty() || ContainsLine(lines, c.notice));  // the refusal names no password
    }
}

// Signer pins the publisher: the test helper signed at test time by the test authority's signer
// and by another publisher; the key hashes come from openssl.
TEST_F(DownloadRun, SignerPinsThePublisherAcrossMirrorsAndForAFileAlreadyThere)
{
    const std::wstring signedFiles = EnvironmentValue(L"ORVANTA_SIGNED_FILES");
    const std::string good = ReadBytes(signedFiles + L"\\helper-signed.exe");
    const std::string other = ReadBytes(signedFiles + L"\\helper-other.exe");
    ASSERT_FALSE(good.empty());
    ASSERT_FALSE(other.empty());
    std::map<std::string, std::string> keys;
    std::istringstream keyLines(ReadBytes(signedFiles + L"\\keys.txt"));
    for (std::string role, hex; keyLines >> role >> hex;)
        keys[role] = hex;
    ASSERT_TRUE(download_testing::ServeFile(L"run-signed-other.exe", other));
    ASSERT_TRUE(download_testing::ServeFile(L"run-signed-good.exe", good));
    // The mirror's login stays out of the log.
    std::wstring mirror = download_testing::Servers().NginxUrl(L"run-signed-good.exe");
    const std::wstring mirrorWithLogin = L"http://mirror:secret@" + mirror.substr(7);
    const std::wstring target = DownloadedPath(L"run-signed-other.exe");
    const auto run = [&](const std::string& pin, const std::string& planted) {
        ::DeleteFileW(package.LogPath().c_str());
        DeleteRegistryTree(HKEY_CURRENT_USER, kHelperKey);
        ::CreateDirectoryW(package.PathOf(L"downloads").c_str(), nullptr);
        if (!planted.empty()) {
            EXPECT_TRUE(WriteBytes(target, planted));
        }
        package.WriteIni({L"[GeneralOptions]", L"Options=q", L"DownloadFolder=[SETUPEXEDIR]downloads",
                          L"[PREREQUISITES]", L"App1=Helper", L"[Helper]",
                          L"Url=" + download_testing::Servers().NginxUrl(L"run-signed-other.exe"),
                          L"Url2=" + mirrorWithLogin, L"Signer=" + std::wstring(pin.begin(), pin.end()),
                          L"CommandLine=--set HKCU\\Software\\OrvantaDownloadRun\\Helper\\Version=1.5 --exit 0",
                          L"Options=m", L"SearchType1=2", L"SearchString1=HKCU\\Software\\OrvantaDownloadRun\\Helper\\Version",
                          L"VerMin1=1.0", L"[PREREQ_CHAINER]", L"LogFile=" + package.LogPath()});
        return package.RunForExitCode();
    };

    // The first mirror's file is signed by someone else (and a copy of it already lies in the
    // download folder): both are rejected and deleted, the second mirror's file is installed.
    EXPECT_EQ(run(keys["intermediate"], other), 0u);
    auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"File in the download folder was rejected and deleted:" + target));
    EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was rejected.(Invalid signature)"));
    EXPECT_TRUE(ContainsLine(lines, L"Downloaded from Url2:" + mirror));
    EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + target));
    EXPECT_EQ(ReadUtf16File(package.LogPath()).find(L"secret"), std::wstring::npos);
    EXPECT_TRUE(HelperInstalled());

    // A signed file already there is started without a download.
    EXPECT_EQ(run(keys["signer"], good), 0u);
    EXPECT_FALSE(ContainsLine(package.LogLines(), L"Starting download of:Helper"));
    EXPECT_TRUE(HelperInstalled());

    // A certificate's own hash is no key hash: no mirror passes, nothing starts.
    EXPECT_EQ(run(keys["root-certificate"], ""), 1u);
    lines = package.LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Downloaded file was rejected.(Invalid signature)"), 2);
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(HelperInstalled());
}
