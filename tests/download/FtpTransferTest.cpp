// FTP downloads from pyftpdlib: logins, restart with REST, sizes.
#include "DownloadTestSupport.h"

#include "download/FileDigests.h"

#include "TestSupport.h"

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
        REQUIRE_TEST_SERVERS();
        medium_ = ReadBytes(Servers().DataFile(L"medium.bin"));
        small_ = ReadBytes(Servers().DataFile(L"small.bin"));
    }
    TempDir dir_;
    const std::wstring target_ = dir_ / L"medium.bin";
    std::string medium_;
    std::string small_;
    RecordingSink sink_;
};

} // namespace

TEST_F(FtpTransfer, AnonymousOrUrlLoginDownloadsTheFile)
{
    InternetDownloader downloader(&sink_, nullptr);
    downloader.SetExpectedSize(static_cast<uint32_t>(medium_.size()));
    ASSERT_EQ(Fetch(downloader, Servers().FtpUrl(L"", L"medium.bin"), target_), 0u);
    EXPECT_EQ(ReadBytes(target_), medium_);
    EXPECT_EQ(sink_.progress.load(), medium_.size());
    EXPECT_EQ(sink_.announcedLength.load(), medium_.size());
    EXPECT_EQ(sink_.transfersCompleted.load(), 1);
    EXPECT_FALSE(FileExists(target_ + L".part"));

    InternetDownloader withPassword(nullptr, nullptr);
    ASSERT_EQ(Fetch(withPassword, Servers().FtpUrl(L"tester:secret", L"small.bin"), dir_ / L"small.bin"), 0u);
    EXPECT_EQ(ReadBytes(dir_ / L"small.bin"), small_);
}

TEST_F(FtpTransfer, RejectedLoginAsksWithTheFtpRealmAndTheAnswerServesTheNextServerToo)
{
    PromptingStore store;
    store.WillAnswer(L"tester", L"secret");
    AnswerLoginsFrom(sink_, store);
    {
        InternetDownloader first(&sink_, &store);
        ASSERT_EQ(Fetch(first, Servers().FtpUrl(L"tester:wrong-1", L"small.bin"), dir_ / L"small.bin"), 0u);
    }
    EXPECT_EQ(store.questions, 1);
    EXPECT_EQ(store.Realm(), L"FTP Server");
    EXPECT_EQ(store.Url().find(L"wrong-1"), std::wstring::npos);
    EXPECT_EQ(ReadBytes(dir_ / L"small.bin"), small_);

    InternetDownloader second(&sink_, &store);
    ASSERT_EQ(Fetch(second, Servers().FtpUrl(L"tester:wrong-2", L"medium.bin"), target_), 0u);
    EXPECT_EQ(store.questions, 1);
    EXPECT_EQ(ReadBytes(target_), medium_);
}

TEST_F(FtpTransfer, UnansweredRejectedLoginFailsWithTheLoginError)
{
    CredentialStore store;
    InternetDownloader downloader(&sink_, &store);
    const uint32_t result = Fetch(downloader, Servers().FtpUrl(L"tester:wrong", L"small.bin"), dir_ / L"s.bin");
    EXPECT_TRUE(result == 12013u || result == 12014u || result == 12015u) << result;
    ASSERT_EQ(sink_.Errors().size(), 2u);  // the question, then the failure
    EXPECT_EQ(sink_.Errors()[1].code, result);
}

TEST_F(FtpTransfer, PartFileIsContinuedWithRestUnlessTheServerRefusesIt)
{
    const std::string kept(500000, 'k');  // only a real restart keeps this prefix
    ASSERT_TRUE(WriteBytes(target_ + L".part", kept));
    InternetDownloader downloader(&sink_, nullptr);
    downloader.SetDigestsWanted(false, true);
    ASSERT_EQ(Fetch(downloader, Servers().FtpUrl(L"tester:secret", L"medium.bin"), target_), 0u);
    EXPECT_EQ(ReadBytes(target_), kept + medium_.substr(kept.size()));
    // The digest covers the kept prefix too.
    ContentDigests onDisk;
    ASSERT_EQ(ComputeFileDigests(target_, false, true, onDisk), 0u);
    EXPECT_STREQ(downloader.GetDigests().sha256, onDisk.sha256);
    ASSERT_FALSE(sink_.ProgressSteps().empty());
    EXPECT_EQ(sink_.ProgressSteps().front(), kept.size());

    ASSERT_TRUE(::DeleteFileW(target_.c_str()));
    ASSERT_TRUE(WriteBytes(target_ + L".part", kept));
    InternetDownloader noRest(nullptr, nullptr);
    ASSERT_EQ(Fetch(noRest, Servers().FtpUrl(L"norest:secret", L"medium.bin"), target_), 0u);
    EXPECT_EQ(ReadBytes(target_), medium_);
}

TEST_F(FtpTransfer, StalePartFileAsLongAsTheRemoteFileIsDownloadedAfresh)
{
    ASSERT_TRUE(WriteBytes(target_ + L".part", std::string(medium_.size(), 's')));
    InternetDownloader downloader(&sink_, nullptr);
    ASSERT_EQ(Fetch(downloader, Servers().FtpUrl(L"", L"medium.bin"), target_), 0u);
    EXPECT_TRUE(ReadBytes(target_) == medium_);
    EXPECT_FALSE(FileExists(target_ + L".part"));
    EXPECT_TRUE(sink_.Errors().empty());
}

TEST_F(FtpTransfer, MissingFileFailsAndIsReported)
{
    InternetDownloader downloader(&sink_, nullptr);
    const uint32_t result = Fetch(downloader, Servers().FtpUrl(L"", L"no-such-file.bin"), dir_ / L"n.bin");
    EXPECT_NE(result, 0u);
    ExpectOneFailure(sink_, result, L"n.bin");
    EXPECT_FALSE(FileExists(dir_ / L"n.bin"));
}
