// Validation before any network access, and the retry policy over mirrors.
#include "DownloadTestSupport.h"

#include "TestSupport.h"
#include "download/InternetDownloader.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace download_testing;
using testing_support::FileExists;
using testing_support::TempDir;

namespace {

std::wstring UnreachableUrl(int port, const std::wstring& name)
{
    return L"http://127.0.0.1:" + std::to_wstring(port) + L"/" + name;
}

} // namespace

TEST(DownloadValidation, MailtoUrlFailsWithUnrecognizedSchemeBeforeAnyOpen)
{
    TempDir dir;
    RecordingSink sink;
    CountingDownloader downloader(&sink, nullptr);
    EXPECT_EQ(downloader.Download(L"mailto:someone@example.com", dir / L"x.exe"), 12006u);
    EXPECT_TRUE(downloader.attempts.empty());
    const auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, 12006u);
    EXPECT_FALSE(errors[0].hasText);
}

TEST(DownloadValidation, OneBadUrlAmongMirrorsFailsTheWholeList)
{
    TempDir dir;
    CountingDownloader downloader(nullptr, nullptr);
    EXPECT_EQ(downloader.DownloadFromUrls({L"http://127.0.0.1/a.exe", L"gopher://h/a.exe"}, dir / L"a.exe"), 12006u);
    EXPECT_EQ(downloader.DownloadFromUrls({}, dir / L"a.exe"), 12006u);
    EXPECT_TRUE(downloader.attempts.empty());
}

TEST(DownloadValidation, RelativeTargetFailsWithoutAnyOpenAttempt)
{
    RecordingSink sink;
    CountingDownloader downloader(&sink, nullptr);
    EXPECT_EQ(downloader.Download(L"http://127.0.0.1:9/a.exe", L"a.exe"), DLERR_TARGET_NOT_ABSOLUTE);
    EXPECT_EQ(downloader.Download(L"file:///C:/a.exe", L"\\a.exe"), DLERR_TARGET_NOT_ABSOLUTE);
    EXPECT_TRUE(downloader.attempts.empty());
    const auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].code, DLERR_TARGET_NOT_ABSOLUTE);
    EXPECT_FALSE(errors[0].hasText);
}

TEST(MirrorRetry, UnreachableHostIsAttemptedSevenTimes)
{
    TempDir dir;
    RecordingSink sink;
    CountingDownloader downloader(&sink, nullptr);
    const std::wstring url = UnreachableUrl(ClosedPort(), L"setup.exe");
    const uint32_t result = RunBounded([&] { return downloader.Download(url, dir / L"setup.exe"); });
    EXPECT_EQ(result, 12029u);
    EXPECT_EQ(downloader.attempts, std::vector<std::wstring>(7, url));
    const auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, L"setup.exe");
    EXPECT_EQ(errors[0].code, 12029u);
    EXPECT_FALSE(FileExists(dir / L"setup.exe"));
}

TEST(MirrorRetry, ThreeUnreachableMirrorsAreTriedInTurn)
{
    TempDir dir;
    CountingDownloader downloader(nullptr, nullptr);
    const int port = ClosedPort();
    const std::vector<std::wstring> urls = {UnreachableUrl(port, L"1.exe"), UnreachableUrl(port, L"2.exe"),
                                            UnreachableUrl(port, L"3.exe")};
    RunBounded([&] { return downloader.DownloadFromUrls(urls, dir / L"x.exe"); });
    const std::vector<std::wstring> expected = {urls[0], urls[1], urls[2], urls[0], urls[1], urls[2], urls[0]};
    EXPECT_EQ(downloader.attempts, expected);
}

TEST(MirrorRetry, EveryMirrorIsTriedOnceEvenWithoutRetries)
{
    TempDir dir;
    CountingDownloader downloader(nullptr, nullptr);
    downloader.SetRetryCount(0);
    downloader.SetRetryCount(-5);  // ignored
    const int port = ClosedPort();
    const std::vector<std::wstring> urls = {UnreachableUrl(port, L"1.exe"), UnreachableUrl(port, L"2.exe"),
                                            UnreachableUrl(port, L"3.exe")};
    RunBounded([&] { return downloader.DownloadFromUrls(urls, dir / L"x.exe"); });
    EXPECT_EQ(downloader.attempts, urls);
}

TEST(MirrorRetry, NotFoundOnTheOnlyUrlIsReturnedAfterOneAttempt)
{
    REQUIRE_TEST_SERVERS();
    TempDir dir;
    RecordingSink sink;
    CountingDownloader downloader(&sink, nullptr);
    const uint32_t result =
        RunBounded([&] { return downloader.Download(Servers().NginxUrl(L"missing.bin"), dir / L"m.bin"); });
    EXPECT_EQ(result, DLERR_NOT_FOUND);
    EXPECT_EQ(downloader.attempts.size(), 1u);
    ASSERT_EQ(sink.Errors().size(), 1u);
    EXPECT_EQ(sink.Errors()[0].text, L"m.bin");
}

TEST(MirrorRetry, NotFoundOnTheFirstMirrorTriesTheSecond)
{
    REQUIRE_TEST_SERVERS();
    TempDir dir;
    RecordingSink sink;
    CountingDownloader downloader(&sink, nullptr);
    const std::vector<std::wstring> urls = {Servers().NginxUrl(L"missing.bin"), Servers().NginxUrl(L"small.bin")};
    const uint32_t result = RunBounded([&] { return downloader.DownloadFromUrls(urls, dir / L"s.bin"); });
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(downloader.attempts, urls);
    EXPECT_EQ(testing_support::ReadBytes(dir / L"s.bin"), testing_support::ReadBytes(Servers().DataFile(L"small.bin")));
    EXPECT_TRUE(sink.Errors().empty());
}
