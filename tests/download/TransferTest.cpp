// HTTP downloads against nginx and the fault-injecting server (resume, restarts, drops, status
// codes, sizes, certificates and cancellation) and FTP downloads from pyftpdlib (logins, restart
// with REST, sizes).
#include "DownloadTestSupport.h"

#include <thread>

using namespace orvanta;
using namespace download_testing;
using testing_support::FileExists;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

namespace {

// The digests the engine computed while it wrote `bytes`, against the ones of the bytes.
void ExpectDigests(const InternetDownloader& downloader, const std::string& bytes, const std::wstring& what)
{
    const ContentDigests& computed = downloader.GetDigests();
    EXPECT_EQ(computed.size, bytes.size()) << what;
    EXPECT_EQ(std::wstring(computed.md5, computed.md5 + 32), Md5Hex(bytes)) << what;
    EXPECT_EQ(std::wstring(computed.sha256, computed.sha256 + 64), Sha256Hex(bytes)) << what;
}

} // namespace

using HttpTransfer = TransferTest;
using FtpTransfer = TransferTest;

TEST_F(HttpTransfer, DownloadsTheWholeFileWithProgressAndNoPartFileLeftAlsoOverFtp)
{
    const std::wstring target = dir_ / L"sub\\folder\\medium.bin";
    for (const std::wstring& url : {Servers().NginxUrl(L"medium.bin"), Servers().FtpUrl(L"", L"medium.bin")}) {
        RecordingSink sink;
        InternetDownloader downloader(&sink, nullptr, nullptr, Checking(medium_.size()));
        ASSERT_EQ(Fetch(downloader, url, target), 0u) << url;
        EXPECT_EQ(ReadBytes(target), medium_);
        EXPECT_FALSE(FileExists(target + L".part"));
        EXPECT_EQ(sink.progress.load(), medium_.size());
        EXPECT_EQ(sink.announcedLength.load(), medium_.size());
        EXPECT_EQ(sink.transfersBegun.load(), 1);
        EXPECT_EQ(sink.transfersCompleted.load(), 1);
        EXPECT_TRUE(sink.Errors().empty());
        EXPECT_TRUE(url[0] != L'h' || downloader.GetStatusCode() == 200u) << downloader.GetStatusCode();
        ASSERT_TRUE(::DeleteFileW(target.c_str()));
    }
}

TEST_F(HttpTransfer, PartFileIsContinuedOnlyWhereTheServerContinuesItAndStaleOnesAreRestarted)
{
    // A kept prefix that is not the server's shows a real continuation; a stale ".part" as long as
    // the remote file or longer would fail every later run if it were kept. nginx answers a range
    // past the end with 416, the fault server's /norange/ ignores ranges (200), the FTP server's
    // size tells, and its user "norest" refuses REST.
    const std::string kept(700001, 'k');
    const std::string ftpKept(500000, 'k');
    const std::string prefix = medium_.substr(0, 654321);
    const std::wstring nginx = Servers().NginxUrl(L"medium.bin");
    const std::wstring norange = Servers().FaultUrl(L"/norange/medium.bin");
    const std::wstring ftp = Servers().FtpUrl(L"", L"medium.bin");
    const std::wstring bare = Servers().FaultUrl(L"/bare206/medium.bin");
    const std::string stale(medium_.size(), 's');
    const std::string staleLonger(medium_.size() + 10, 's');
    const struct {
        std::wstring url;
        std::string part;
        uint32_t status;  // 0: FTP
        bool continued;
    } cases[] = {
        {nginx, kept, 206, true},
        // Partial answers without Content-Length: the Content-Range total tells the length, or nothing.
        {Servers().FaultUrl(L"/nolength206/medium.bin"), prefix, 206, true},
        {bare, prefix, 206, true},
        {norange, std::string(300000, 'k'), 200, false},
        {nginx, stale, 200, false},        {nginx, staleLonger, 200, false},
        {norange, stale, 200, false},      {norange, staleLonger, 200, false},
        {ftp, stale, 0, false},            {ftp, staleLonger, 0, false},
        {Servers().FtpUrl(L"tester:secret", L"medium.bin"), ftpKept, 0, true},
        {Servers().FtpUrl(L"norest:secret", L"medium.bin"), ftpKept, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.url.begin(), c.url.end()) << " part " << c.part.size());
        ASSERT_TRUE(WriteBytes(target_ + L".part", c.part));
        RecordingSink sink;
        InternetDownloader downloader(&sink, nullptr, nullptr, Checking(0, true));
        ASSERT_EQ(Fetch(downloader, c.url, target_), 0u);
        const std::string expected = c.continued ? c.part + medium_.substr(c.part.size()) : medium_;
        EXPECT_TRUE(ReadBytes(target_) == expected);
        EXPECT_TRUE(c.status == 0 || downloader.GetStatusCode() == c.status) << downloader.GetStatusCode();
        ExpectDigests(downloader, expected, c.url);
        EXPECT_FALSE(FileExists(target_ + L".part"));
        EXPECT_TRUE(sink.Errors().empty());
        const std::vector<uint64_t> steps = sink.ProgressSteps();
        ASSERT_FALSE(steps.empty());
        EXPECT_TRUE(!c.continued || steps.front() == c.part.size()) << steps.front();
        EXPECT_EQ(sink.progress.load(), medium_.size());
        EXPECT_EQ(sink.announcedLength.load(), c.url == bare ? 0u : medium_.size());  // bare: no length at all
        ::DeleteFileW(target_.c_str());
    }
}

TEST_F(HttpTransfer, ErrorStatusesFailWithTheirCodesAndNeverBecomeTheFile)
{
    for (const auto& c : {std::make_pair(L"/status/403/x", DLERR_FORBIDDEN),
                          std::make_pair(L"/status/404/x", DLERR_NOT_FOUND),
                          std::make_pair(L"/status/500/x", DLERR_ERROR_STATUS),
                          std::make_pair(L"/status/503/x", DLERR_ERROR_STATUS),
                          std::make_pair(L"/status/418/x", DLERR_ERROR_STATUS)}) {
        RecordingSink sink;
        InternetDownloader downloader(&sink, nullptr);
        EXPECT_EQ(Fetch(downloader, Servers().FaultUrl(c.first), dir_ / L"x.bin"), c.second) << c.first;
        ExpectOneFailure(sink, c.second, L"x.bin");
        EXPECT_FALSE(FileExists(dir_ / L"x.bin"));
    }
    InternetDownloader downloader(&sink_, nullptr);
    EXPECT_EQ(Fetch(downloader, Servers().FaultUrl(L"/status/304/x"), dir_ / L"x.bin"), DLERR_NOT_MODIFIED);
    EXPECT_TRUE(sink_.Errors().empty());
    // Not even a body that is the file itself, with the expected size, over an old file.
    ASSERT_TRUE(WriteBytes(target_, "old content"));
    RecordingSink sink;
    InternetDownloader withBody(&sink, nullptr, nullptr, Checking(medium_.size()));
    EXPECT_EQ(Fetch(withBody, Servers().FaultUrl(L"/statusbody/500/medium.bin"), target_), DLERR_ERROR_STATUS);
    EXPECT_EQ(withBody.GetStatusCode(), 500u);
    EXPECT_EQ(ReadBytes(target_), "old content");
    EXPECT_FALSE(FileExists(target_ + L".part"));
    ExpectOneFailure(sink, DLERR_ERROR_STATUS, L"medium.bin");
}

TEST_F(HttpTransfer, SizeOtherThanTheExpectedOneFailsAndLeavesNothingBytesPastTheLengthAreIgnored)
{
    // An announced length other than the expected size fails before the transfer begins; a body
    // without a length that runs past the expected size is cut off there.
    const struct {
        std::wstring url;
        uint64_t expected;
        bool announced;
    } cases[] = {{Servers().NginxUrl(L"medium.bin"), medium_.size() - 1, true},
                 {Servers().FaultUrl(L"/overlongnolength/3000000/medium.bin"), medium_.size(), false}};
    for (const auto& c : cases) {
        RecordingSink sink;
        InternetDownloader downloader(&sink, nullptr, nullptr, Checking(c.expected));
        EXPECT_EQ(Fetch(downloader, c.url, target_), DLERR_SIZE_MISMATCH) << c.url;
        EXPECT_FALSE(FileExists(target_));
        EXPECT_FALSE(FileExists(target_ + L".part"));
        ExpectOneFailure(sink, DLERR_SIZE_MISMATCH, L"medium.bin");
        EXPECT_LE(sink.progress.load(), medium_.size());  // never more than the expected size taken in
        EXPECT_TRUE(!c.announced || sink.transfersBegun.load() == 0) << "begun before the length was checked";
    }
    // A body longer than its Content-Length ends at the announced length.
    InternetDownloader downloader(&sink_, nullptr);
    EXPECT_EQ(Fetch(downloader, Servers().FaultUrl(L"/overlong/3000000/medium.bin"), target_), 0u);
    EXPECT_TRUE(ReadBytes(target_) == medium_);
    EXPECT_EQ(sink_.progress.load(), medium_.size());
}

TEST_F(HttpTransfer, ConnectionClosedOrResetMidwayIsReopenedWithARangeUntilComplete)
{
    // A reset loses what the failing read had gathered; the engine then reads only what has
    // arrived, so every further connection brings the file closer to the server's cut.
    for (const wchar_t* path : {L"/drop/333333/medium.bin", L"/reset/777777/medium.bin"}) {
        RecordingSink sink;
        CountingDownloader downloader(&sink, nullptr);
        ASSERT_EQ(Fetch(downloader, Servers().FaultUrl(path), target_), 0u) << path;
        EXPECT_EQ(ReadBytes(target_), medium_);
        EXPECT_GE(downloader.attempts.size(), 2u);
        EXPECT_EQ(downloader.GetStatusCode(), 206u);
        EXPECT_EQ(sink.progress.load(), medium_.size());
        EXPECT_TRUE(sink.Errors().empty());
        ::DeleteFileW(target_.c_str());
    }
}

TEST_F(HttpTransfer, RandomDropsAlwaysEndWithAnIdenticalFile)
{
    for (int round = 0; round < 20; ++round) {
        InternetDownloader downloader(nullptr, nullptr);
        const std::wstring path = L"/droprandom/round" + std::to_wstring(round) + L"-" +
                                  std::to_wstring(::GetCurrentProcessId()) + L"/4/medium.bin";
        ASSERT_EQ(Fetch(downloader, Servers().FaultUrl(path), target_), 0u) << round;
        ASSERT_EQ(ReadBytes(target_), medium_) << round;
        ::DeleteFileW(target_.c_str());
    }
}

TEST_F(HttpTransfer, DropThatCannotBeContinuedFailsAndKeepsThePartFile)
{
    // A server that ignores the range on reconnection; a file: mirror in the list turns
    // reconnection off.
    const struct {
        std::vector<std::wstring> urls;
        uint32_t code;
        size_t kept;
    } cases[] = {{{Servers().FaultUrl(L"/dropnorange/400000/medium.bin")}, 12002u, 400000},
                 {{Servers().FaultUrl(L"/drop/200000/medium.bin"), L"file:///C:/no-such-folder/medium.bin"},
                  DLERR_INCOMPLETE, 200000}};
    for (const auto& c : cases) {
        RecordingSink sink;
        InternetDownloader downloader(&sink, nullptr);
        EXPECT_EQ(RunBounded([&] { return downloader.DownloadFromUrls(c.urls, target_); }), c.code);
        EXPECT_FALSE(FileExists(target_));
        EXPECT_EQ(ReadBytes(target_ + L".part"), medium_.substr(0, c.kept));
        ExpectOneFailure(sink, c.code, L"medium.bin");
        ::DeleteFileW((target_ + L".part").c_str());
    }
}

// The certificate tests run in this order: an accepted certificate may let WinINet reuse the
// secure connection for later requests of the same process.
TEST_F(HttpTransfer, UntrustedCertificateIsAQuestionAndRefusingItFails)
{
    RecordingQuestions questions;  // refuses
    InternetDownloader downloader(&sink_, nullptr, &questions);
    const uint32_t result = Fetch(downloader, Servers().SecureUrl(L"small.bin"), dir_ / L"small.bin");
    EXPECT_TRUE(result == 12045u || result == 12038u || result == 12037u || result == 12044u) << result;
    EXPECT_EQ(questions.certificateErrors, std::vector<uint32_t>{result});
    const auto errors = sink_.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, L"small.bin");
    EXPECT_FALSE(FileExists(dir_ / L"small.bin"));

    // Nobody to ask fails without a question.
    RecordingSink failSink;
    InternetDownloader failing(&failSink, nullptr);
    EXPECT_NE(Fetch(failing, Servers().SecureUrl(L"small.bin"), dir_ / L"small.bin"), 0u);
    ASSERT_EQ(failSink.Errors().size(), 1u);
    EXPECT_EQ(failSink.Errors()[0].text, L"small.bin");
}

TEST_F(HttpTransfer, AcceptedCertificateErrorLetsTheDownloadThrough)
{
    RecordingSink sink;
    RecordingQuestions questions;
    questions.acceptCertificates = true;
    InternetDownloader downloader(&sink, nullptr, &questions);
    const std::wstring target = dir_ / L"small.bin";
    ASSERT_EQ(Fetch(downloader, Servers().SecureUrl(L"small.bin"), target), 0u);
    EXPECT_EQ(ReadBytes(target), ReadBytes(Servers().DataFile(L"small.bin")));
    EXPECT_TRUE(sink.Errors().empty());
}

TEST_F(FtpTransfer, RejectedLoginAsksWithTheFtpRealmAndTheAnswerServesTheNextServerToo)
{
    PromptingStore store;
    store.WillAnswer(L"tester", L"secret");
    RecordingQuestions questions;
    {
        InternetDownloader first(&sink_, &store, &questions);
        ASSERT_EQ(Fetch(first, Servers().FtpUrl(L"tester:wrong-1", L"small.bin"), dir_ / L"small.bin"), 0u);
    }
    EXPECT_EQ(store.questions, 1);
    EXPECT_EQ(store.Realm(), L"FTP Server");
    EXPECT_EQ(store.Url().find(L"wrong-1"), std::wstring::npos);
    EXPECT_EQ(ReadBytes(dir_ / L"small.bin"), small_);

    InternetDownloader second(&sink_, &store, &questions);
    ASSERT_EQ(Fetch(second, Servers().FtpUrl(L"tester:wrong-2", L"medium.bin"), target_), 0u);
    EXPECT_EQ(store.questions, 1);
    EXPECT_EQ(ReadBytes(target_), medium_);
}

TEST_F(FtpTransfer, UnansweredRejectedLoginOrMissingFileFailsAndIsReported)
{
    CredentialStore store;
    RecordingQuestions questions;
    InternetDownloader downloader(&sink_, &store, &questions);
    const uint32_t result = Fetch(downloader, Servers().FtpUrl(L"tester:wrong", L"small.bin"), dir_ / L"s.bin");
    EXPECT_TRUE(result == 12013u || result == 12014u || result == 12015u) << result;
    EXPECT_EQ(questions.logins.size(), 1u);  // the question, then the failure
    ASSERT_EQ(sink_.Errors().size(), 1u);
    EXPECT_EQ(sink_.Errors()[0].code, result);

    // A missing file fails and is reported alone.
    RecordingSink sink;
    InternetDownloader missing(&sink, nullptr);
    const uint32_t missingResult = Fetch(missing, Servers().FtpUrl(L"", L"no-such-file.bin"), dir_ / L"n.bin");
    EXPECT_NE(missingResult, 0u);
    ExpectOneFailure(sink, missingResult, L"n.bin");
    EXPECT_FALSE(FileExists(dir_ / L"n.bin"));
}

