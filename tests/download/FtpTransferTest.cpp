// FTP downloads from pyftpdlib: logins, restart with REST, sizes.
#include "DownloadTestSupport.h"

#include "TestSupport.h"
#include "download/InternetDownloader.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace download_testing;
using testing_support::FileExists;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

class FtpTransfer : public ::testing::Test {
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

TEST_F(FtpTransfer, AnonymousLoginDownloadsTheFile)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    downloader.SetExpectedSize(static_cast<uint32_t>(medium_.size()));
    const std::wstring target = dir_ / L"medium.bin";
    ASSERT_EQ(Fetch(downloader, Servers().FtpUrl(L"", L"medium.bin"), target), 0u);
    EXPECT_EQ(ReadBytes(target), medium_);
    EXPECT_EQ(sink.progress.load(), medium_.size());
    EXPECT_EQ(sink.announcedLength.load(), medium_.size());
    EXPECT_EQ(sink.transfersCompleted.load(), 1);
    EXPECT_FALSE(FileExists(target + L".part"));
}

TEST_F(FtpTransfer, PasswordLoginFromTheUrl)
{
    REQUIRE_TEST_SERVERS();
    InternetDownloader downloader(nullptr, nullptr);
    const std::wstring target = dir_ / L"small.bin";
    ASSERT_EQ(Fetch(downloader, Servers().FtpUrl(L"tester:secret", L"small.bin"), target), 0u);
    EXPECT_EQ(ReadBytes(target), ReadBytes(Servers().DataFile(L"small.bin")));
}

TEST_F(FtpTransfer, RejectedLoginAsksWithTheFtpRealm)
{
    REQUIRE_TEST_SERVERS();
    PromptingStore store;
    store.WillAnswer(L"tester", L"secret");
    RecordingSink sink;
    AnswerLoginsFrom(sink, store);
    InternetDownloader downloader(&sink, &store);
    const std::wstring target = dir_ / L"small.bin";
    ASSERT_EQ(Fetch(downloader, Servers().FtpUrl(L"tester:wrong-secret", L"small.bin"), target), 0u);
    EXPECT_EQ(store.questions, 1);
    EXPECT_EQ(store.Realm(), L"FTP Server");
    EXPECT_EQ(store.Url().find(L"wrong-secret"), std::wstring::npos);
    EXPECT_EQ(ReadBytes(target), ReadBytes(Servers().DataFile(L"small.bin")));
}

TEST_F(FtpTransfer, EnteredCredentialsAreOfferedToTheNextServerWithoutAQuestion)
{
    REQUIRE_TEST_SERVERS();
    PromptingStore store;
    store.WillAnswer(L"tester", L"secret");
    RecordingSink sink;
    AnswerLoginsFrom(sink, store);
    {
        InternetDownloader first(&sink, &store);
        ASSERT_EQ(Fetch(first, Servers().FtpUrl(L"tester:wrong-1", L"small.bin"), dir_ / L"first.bin"), 0u);
    }
    InternetDownloader second(&sink, &store);
    ASSERT_EQ(Fetch(second, Servers().FtpUrl(L"tester:wrong-2", L"medium.bin"), dir_ / L"second.bin"), 0u);
    EXPECT_EQ(store.questions, 1);
    EXPECT_EQ(ReadBytes(dir_ / L"second.bin"), medium_);
}

TEST_F(FtpTransfer, UnansweredRejectedLoginFailsWithTheLoginError)
{
    REQUIRE_TEST_SERVERS();
    CredentialStore store;
    RecordingSink sink;
    InternetDownloader downloader(&sink, &store);
    const uint32_t result = Fetch(downloader, Servers().FtpUrl(L"tester:wrong", L"small.bin"), dir_ / L"s.bin");
    EXPECT_TRUE(result == 12013u || result == 12014u || result == 12015u) << result;
    ASSERT_EQ(sink.Errors().size(), 2u);  // the question, then the failure
    EXPECT_EQ(sink.Errors()[1].code, result);
}

TEST_F(FtpTransfer, PartFileIsContinuedWithRest)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring target = dir_ / L"medium.bin";
    const std::string kept(500000, 'k');  // only a real restart keeps this prefix
    ASSERT_TRUE(WriteBytes(target + L".part", kept));
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    ASSERT_EQ(Fetch(downloader, Servers().FtpUrl(L"tester:secret", L"medium.bin"), target), 0u);
    EXPECT_EQ(ReadBytes(target), kept + medium_.substr(kept.size()));
    ASSERT_FALSE(sink.ProgressSteps().empty());
    EXPECT_EQ(sink.ProgressSteps().front(), kept.size());
}

TEST_F(FtpTransfer, RefusedRestStartsFromZero)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring target = dir_ / L"medium.bin";
    ASSERT_TRUE(WriteBytes(target + L".part", std::string(500000, 'k')));
    InternetDownloader downloader(nullptr, nullptr);
    ASSERT_EQ(Fetch(downloader, Servers().FtpUrl(L"norest:secret", L"medium.bin"), target), 0u);
    EXPECT_EQ(ReadBytes(target), medium_);
}

TEST_F(FtpTransfer, PartFileAsLongAsTheRemoteFileFails)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring target = dir_ / L"medium.bin";
    ASSERT_TRUE(WriteBytes(target + L".part", medium_));
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    EXPECT_EQ(Fetch(downloader, Servers().FtpUrl(L"", L"medium.bin"), target), DLERR_PARTIAL_TOO_LONG);
    EXPECT_FALSE(FileExists(target));
    ASSERT_EQ(sink.Errors().size(), 1u);
    EXPECT_EQ(sink.Errors()[0].code, DLERR_PARTIAL_TOO_LONG);
}

TEST_F(FtpTransfer, MissingFileFailsAndIsReported)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    const uint32_t result = Fetch(downloader, Servers().FtpUrl(L"", L"no-such-file.bin"), dir_ / L"n.bin");
    EXPECT_NE(result, 0u);
    ASSERT_EQ(sink.Errors().size(), 1u);
    EXPECT_EQ(sink.Errors()[0].code, result);
    EXPECT_FALSE(FileExists(dir_ / L"n.bin"));
}
