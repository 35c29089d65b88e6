// HTTP downloads against nginx and the fault-injecting server: resume, restarts, drops,
// status codes, sizes and cancellation.
#include "DownloadTestSupport.h"

#include "TestSupport.h"
#include "download/InternetDownloader.h"

#include <gtest/gtest.h>

#include <thread>

using namespace orvanta;
using namespace download_testing;
using testing_support::FileExists;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

class HttpTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (Servers().configured && Servers().loaded)
            medium_ = ReadBytes(Servers().DataFile(L"medium.bin"));
    }

    uint32_t Fetch(InternetDownloader& downloader, const std::wstring& url, const std::wstring& target)
    {
        return RunBounded([&] { return downloader.Download(url, target); });
    }

    TempDir dir_;
    std::string medium_;
};

} // namespace

TEST_F(HttpTransfer, DownloadsTheWholeFileWithProgressAndNoPartFileLeft)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    downloader.SetExpectedSize(static_cast<uint32_t>(medium_.size()));
    const std::wstring target = dir_ / L"sub\\folder\\medium.bin";
    ASSERT_EQ(Fetch(downloader, Servers().NginxUrl(L"medium.bin"), target), 0u);
    EXPECT_EQ(ReadBytes(target), medium_);
    EXPECT_FALSE(FileExists(target + L".part"));
    EXPECT_EQ(sink.progress.load(), medium_.size());
    EXPECT_EQ(sink.announcedLength.load(), medium_.size());
    EXPECT_EQ(sink.transfersBegun.load(), 1);
    EXPECT_EQ(sink.transfersCompleted.load(), 1);
    EXPECT_TRUE(sink.Errors().empty());
    EXPECT_EQ(downloader.GetStatusCode(), 200u);
}

TEST_F(HttpTransfer, ExistingPartFileIsContinuedWithARange)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring target = dir_ / L"medium.bin";
    // The kept prefix is not the server's: only a real continuation leaves it in place.
    const std::string kept(700001, 'k');
    ASSERT_TRUE(WriteBytes(target + L".part", kept));
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    ASSERT_EQ(Fetch(downloader, Servers().NginxUrl(L"medium.bin"), target), 0u);
    EXPECT_EQ(downloader.GetStatusCode(), 206u);
    EXPECT_EQ(ReadBytes(target), kept + medium_.substr(kept.size()));
    ASSERT_FALSE(sink.ProgressSteps().empty());
    EXPECT_EQ(sink.ProgressSteps().front(), kept.size());
    EXPECT_EQ(sink.announcedLength.load(), medium_.size());
}

TEST_F(HttpTransfer, ResumeDisabledIgnoresThePartFile)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring target = dir_ / L"medium.bin";
    ASSERT_TRUE(WriteBytes(target + L".part", std::string(5000, 'k')));
    InternetDownloader downloader(nullptr, nullptr);
    downloader.SetResumeEnabled(false);
    ASSERT_EQ(Fetch(downloader, Servers().NginxUrl(L"medium.bin"), target), 0u);
    EXPECT_EQ(downloader.GetStatusCode(), 200u);
    EXPECT_EQ(ReadBytes(target), medium_);
}

TEST_F(HttpTransfer, ServerIgnoringTheRangeRestartsTheFileFromZero)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring target = dir_ / L"medium.bin";
    ASSERT_TRUE(WriteBytes(target + L".part", std::string(300000, 'k')));
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    ASSERT_EQ(Fetch(downloader, Servers().FaultUrl(L"/norange/medium.bin"), target), 0u);
    EXPECT_EQ(downloader.GetStatusCode(), 200u);
    EXPECT_EQ(ReadBytes(target), medium_);
    EXPECT_EQ(sink.progress.load(), medium_.size());
}

TEST_F(HttpTransfer, PartFileAsLongAsTheRemoteFileFailsAndIsKept)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring target = dir_ / L"medium.bin";
    // nginx answers a range past the end with 416; the fault server ignores ranges (200).
    for (const std::wstring& url : {Servers().NginxUrl(L"medium.bin"), Servers().FaultUrl(L"/norange/medium.bin")}) {
        ASSERT_TRUE(WriteBytes(target + L".part", medium_));
        RecordingSink sink;
        InternetDownloader downloader(&sink, nullptr);
        EXPECT_EQ(Fetch(downloader, url, target), DLERR_PARTIAL_TOO_LONG) << url;
        EXPECT_EQ(ReadBytes(target + L".part"), medium_);
        EXPECT_FALSE(FileExists(target));
        ASSERT_EQ(sink.Errors().size(), 1u);
        EXPECT_EQ(sink.Errors()[0].text, L"medium.bin");
        EXPECT_EQ(sink.Errors()[0].code, DLERR_PARTIAL_TOO_LONG);
    }
}

TEST_F(HttpTransfer, AnnouncedLengthOtherThanTheExpectedSizeFails)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    downloader.SetExpectedSize(static_cast<uint32_t>(medium_.size() - 1));
    const std::wstring target = dir_ / L"medium.bin";
    EXPECT_EQ(Fetch(downloader, Servers().NginxUrl(L"medium.bin"), target), DLERR_SIZE_MISMATCH);
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(FileExists(target + L".part"));
    ASSERT_EQ(sink.Errors().size(), 1u);
    EXPECT_EQ(sink.Errors()[0].code, DLERR_SIZE_MISMATCH);
    EXPECT_EQ(sink.transfersBegun.load(), 0);
}

TEST_F(HttpTransfer, ErrorStatusesFailWithTheirCodes)
{
    REQUIRE_TEST_SERVERS();
    const struct {
        const wchar_t* path;
        uint32_t code;
    } cases[] = {{L"/status/403/x", DLERR_FORBIDDEN},
                 {L"/status/404/x", DLERR_NOT_FOUND},
                 {L"/status/410/x", DLERR_NOT_FOUND},
                 {L"/status/400/x", DLERR_NOT_FOUND}};
    for (const auto& c : cases) {
        RecordingSink sink;
        InternetDownloader downloader(&sink, nullptr);
        EXPECT_EQ(Fetch(downloader, Servers().FaultUrl(c.path), dir_ / L"x.bin"), c.code) << c.path;
        ASSERT_EQ(sink.Errors().size(), 1u) << c.path;
        EXPECT_EQ(sink.Errors()[0].code, c.code);
        EXPECT_FALSE(FileExists(dir_ / L"x.bin"));
    }
}

TEST_F(HttpTransfer, NotModifiedIsReturnedWithoutAReport)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    EXPECT_EQ(Fetch(downloader, Servers().FaultUrl(L"/status/304/x"), dir_ / L"x.bin"), DLERR_NOT_MODIFIED);
    EXPECT_TRUE(sink.Errors().empty());
}

TEST_F(HttpTransfer, ServerErrorBodyIsSavedAsTheFileOverAnOldOne)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring target = dir_ / L"x.bin";
    ASSERT_TRUE(WriteBytes(target, "old content"));
    InternetDownloader downloader(nullptr, nullptr);
    ASSERT_EQ(Fetch(downloader, Servers().FaultUrl(L"/status/500/x"), target), 0u);
    EXPECT_EQ(ReadBytes(target), "status 500 body\n");
    EXPECT_EQ(downloader.GetStatusCode(), 500u);
}

TEST_F(HttpTransfer, ConnectionClosedMidwayIsReopenedWithARangeAndAppended)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring target = dir_ / L"medium.bin";
    RecordingSink sink;
    CountingDownloader downloader(&sink, nullptr);
    ASSERT_EQ(Fetch(downloader, Servers().FaultUrl(L"/drop/333333/medium.bin"), target), 0u);
    EXPECT_EQ(ReadBytes(target), medium_);
    EXPECT_EQ(downloader.attempts.size(), 2u);
    EXPECT_EQ(downloader.GetStatusCode(), 206u);
    EXPECT_EQ(sink.progress.load(), medium_.size());
    EXPECT_TRUE(sink.Errors().empty());
}

TEST_F(HttpTransfer, ConnectionResetMidwayIsReopenedUntilTheFileIsComplete)
{
    REQUIRE_TEST_SERVERS();
    // A reset loses what the failing read had gathered; the engine then reads only what has
    // arrived, so every further connection brings the file closer to the server's cut.
    const std::wstring target = dir_ / L"medium.bin";
    RecordingSink sink;
    CountingDownloader downloader(&sink, nullptr);
    ASSERT_EQ(Fetch(downloader, Servers().FaultUrl(L"/reset/777777/medium.bin"), target), 0u);
    EXPECT_EQ(ReadBytes(target), medium_);
    EXPECT_GE(downloader.attempts.size(), 2u);
    EXPECT_EQ(downloader.GetStatusCode(), 206u);
    EXPECT_TRUE(sink.Errors().empty());
}

TEST_F(HttpTransfer, RandomDropsAlwaysEndWithAnIdenticalFile)
{
    REQUIRE_TEST_SERVERS();
    for (int round = 0; round < 20; ++round) {
        const std::wstring target = dir_ / L"medium.bin";
        InternetDownloader downloader(nullptr, nullptr);
        const std::wstring path = L"/droprandom/round" + std::to_wstring(round) + L"-" +
                                  std::to_wstring(::GetCurrentProcessId()) + L"/4/medium.bin";
        ASSERT_EQ(Fetch(downloader, Servers().FaultUrl(path), target), 0u) << round;
        ASSERT_EQ(ReadBytes(target), medium_) << round;
        ::DeleteFileW(target.c_str());
    }
}

TEST_F(HttpTransfer, ServerIgnoringTheRangeOnReconnectionFailsTheTransfer)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    const std::wstring target = dir_ / L"medium.bin";
    EXPECT_EQ(Fetch(downloader, Servers().FaultUrl(L"/dropnorange/400000/medium.bin"), target), 12002u);
    EXPECT_FALSE(FileExists(target));
    EXPECT_EQ(ReadBytes(target + L".part"), medium_.substr(0, 400000));
    ASSERT_EQ(sink.Errors().size(), 1u);
    EXPECT_EQ(sink.Errors()[0].code, 12002u);
}

TEST_F(HttpTransfer, DropWithoutReconnectionFailsAsIncomplete)
{
    REQUIRE_TEST_SERVERS();
    // A file: mirror in the list turns reconnection off.
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    const std::wstring target = dir_ / L"medium.bin";
    const std::vector<std::wstring> urls = {Servers().FaultUrl(L"/drop/200000/medium.bin"),
                                            L"file:///C:/no-such-folder/medium.bin"};
    EXPECT_EQ(RunBounded([&] { return downloader.DownloadFromUrls(urls, target); }), DLERR_INCOMPLETE);
    EXPECT_EQ(ReadBytes(target + L".part"), medium_.substr(0, 200000));
    ASSERT_EQ(sink.Errors().size(), 1u);
    EXPECT_EQ(sink.Errors()[0].code, DLERR_INCOMPLETE);
}

TEST_F(HttpTransfer, CancelDuringAStalledTransferEndsPromptly)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    const std::wstring target = dir_ / L"medium.bin";
    std::thread canceler([&] {
        // Once data flows (bounded wait), the server soon stops sending; the engine is then
        // waiting for more when the cancel comes.
        for (int i = 0; i < 500 && sink.progress.load() == 0; ++i)
            ::Sleep(10);
        ::Sleep(500);
        sink.canceled = true;
    });
    const uint32_t result = Fetch(downloader, Servers().FaultUrl(L"/stall/1000000/medium.bin"), target);
    canceler.join();
    EXPECT_EQ(result, DLERR_CANCELED);
    EXPECT_TRUE(sink.Errors().empty());
    EXPECT_FALSE(FileExists(target));
    EXPECT_TRUE(FileExists(target + L".part"));
    // The same engine can download again after a cancel.
    sink.canceled = false;
    EXPECT_EQ(Fetch(downloader, Servers().NginxUrl(L"medium.bin"), target), 0u);
    EXPECT_EQ(ReadBytes(target), medium_);
}

// The certificate tests run in this order: an accepted certificate may let WinINet reuse the
// secure connection for later requests of the same process.
TEST_F(HttpTransfer, UntrustedCertificateIsAQuestionAndRefusingItFails)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;  // answers with the code: refused
    InternetDownloader downloader(&sink, nullptr);
    const uint32_t result = Fetch(downloader, Servers().SecureUrl(L"small.bin"), dir_ / L"small.bin");
    EXPECT_TRUE(result == 12045u || result == 12038u || result == 12037u || result == 12044u) << result;
    const auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_FALSE(errors[0].hasText);  // the question, with the request as context
    EXPECT_EQ(errors[0].code, result);
    EXPECT_NE(errors[0].context, 0u);
    EXPECT_EQ(errors[1].text, L"small.bin");
    EXPECT_FALSE(FileExists(dir_ / L"small.bin"));
}

TEST_F(HttpTransfer, FailOnCertificateErrorsFailsWithoutAQuestion)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    downloader.SetFailOnCertificateErrors(true);
    const uint32_t result = Fetch(downloader, Servers().SecureUrl(L"small.bin"), dir_ / L"small.bin");
    EXPECT_NE(result, 0u);
    ASSERT_EQ(sink.Errors().size(), 1u);
    EXPECT_EQ(sink.Errors()[0].text, L"small.bin");
}

TEST_F(HttpTransfer, AcceptedCertificateErrorsLetTheDownloadThrough)
{
    REQUIRE_TEST_SERVERS();
    for (int setting = 0; setting < 2; ++setting) {
        RecordingSink sink;
        InternetDownloader downloader(&sink, nullptr);
        if (setting == 0)
            downloader.SetAcceptCertificateErrors(true);
        else
            downloader.SetIgnoreCertificateProblems(true);
        const std::wstring target = dir_ / L"small.bin";
        ASSERT_EQ(Fetch(downloader, Servers().SecureUrl(L"small.bin"), target), 0u) << setting;
        EXPECT_EQ(ReadBytes(target), ReadBytes(Servers().DataFile(L"small.bin")));
        EXPECT_TRUE(sink.Errors().empty());
    }
}
