// Logins asked for by an HTTP server (401) or a proxy (407).
#include "DownloadTestSupport.h"

#include "TestSupport.h"
#include "download/InternetDownloader.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace download_testing;
using testing_support::FileExists;
using testing_support::ReadBytes;
using testing_support::TempDir;

namespace {

std::wstring WithLogin(const std::wstring& url, const std::wstring& login)
{
    const size_t hostStart = url.find(L"://") + 3;
    return url.substr(0, hostStart) + login + L"@" + url.substr(hostStart);
}

bool AnyTextContains(const std::vector<ReportedError>& errors, const std::wstring& part)
{
    for (const ReportedError& error : errors) {
        if (error.text.find(part) != std::wstring::npos)
            return true;
    }
    return false;
}

// WinINet keeps accepted Basic credentials per host for the whole process and sends them on its
// own to later requests of that host, so each test uses a realm and a user of its own.
class HttpLogin : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (Servers().configured && Servers().loaded)
            small_ = ReadBytes(Servers().DataFile(L"small.bin"));
    }
    TempDir dir_;
    std::string small_;
};

} // namespace

TEST_F(HttpLogin, CredentialsInTheUrlAreSentFirst)
{
    REQUIRE_TEST_SERVERS();
    PromptingStore store;
    RecordingSink sink;
    AnswerLoginsFrom(sink, store);
    InternetDownloader downloader(&sink, &store);
    const std::wstring url = WithLogin(Servers().FaultUrl(L"/auth/UrlFirst/alice/pw1/small.bin"), L"alice:pw1");
    ASSERT_EQ(RunBounded([&] { return downloader.Download(url, dir_ / L"small.bin"); }), 0u);
    EXPECT_EQ(ReadBytes(dir_ / L"small.bin"), small_);
    EXPECT_EQ(store.questions, 0);
    EXPECT_TRUE(sink.Errors().empty());
}

TEST_F(HttpLogin, UnansweredLoginFailsWithAuthRequiredAndRecordsTheRealm)
{
    REQUIRE_TEST_SERVERS();
    CredentialStore store;
    RecordingSink sink;
    InternetDownloader downloader(&sink, &store);
    const std::wstring url = Servers().FaultUrl(L"/auth/Unanswered/erin/pw5/small.bin");
    EXPECT_EQ(RunBounded([&] { return downloader.Download(url, dir_ / L"small.bin"); }), DLERR_AUTH_REQUIRED);
    EXPECT_EQ(store.Realm(), L"Unanswered");
    EXPECT_EQ(store.Url(), url);
    EXPECT_EQ(store.ProxyServer(), L"");
    const auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].text, url);  // the question, with the store as context
    EXPECT_EQ(errors[0].code, DLERR_AUTH_REQUIRED);
    EXPECT_NE(errors[0].context, 0u);
    EXPECT_EQ(errors[1].text, L"small.bin");  // the failure
    EXPECT_EQ(errors[1].context, 0u);
    EXPECT_FALSE(FileExists(dir_ / L"small.bin"));
}

TEST_F(HttpLogin, WithoutAStoreALoginFailsAtOnce)
{
    REQUIRE_TEST_SERVERS();
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    const std::wstring url = Servers().FaultUrl(L"/auth/NoStore/frank/pw6/small.bin");
    EXPECT_EQ(RunBounded([&] { return downloader.Download(url, dir_ / L"small.bin"); }), DLERR_AUTH_REQUIRED);
    ASSERT_EQ(sink.Errors().size(), 1u);
}

TEST_F(HttpLogin, RejectedUrlCredentialsLeadToTheQuestionWithoutShowingThePassword)
{
    REQUIRE_TEST_SERVERS();
    PromptingStore store;
    store.WillAnswer(L"gina", L"pw7");
    RecordingSink sink;
    AnswerLoginsFrom(sink, store);
    InternetDownloader downloader(&sink, &store);
    const std::wstring url =
        WithLogin(Servers().FaultUrl(L"/auth/Rejected/gina/pw7/small.bin"), L"gina:wrong-url-secret");
    ASSERT_EQ(RunBounded([&] { return downloader.Download(url, dir_ / L"small.bin"); }), 0u);
    EXPECT_EQ(ReadBytes(dir_ / L"small.bin"), small_);
    EXPECT_EQ(store.questions, 1);
    EXPECT_FALSE(AnyTextContains(sink.Errors(), L"wrong-url-secret"));
    EXPECT_EQ(store.Url().find(L"wrong-url-secret"), std::wstring::npos);
}

TEST_F(HttpLogin, RememberedCredentialsThatFailAreFollowedByOneQuestion)
{
    REQUIRE_TEST_SERVERS();
    PromptingStore store;
    store.WillAnswer(L"helen", L"pw8");
    RecordingSink sink;
    AnswerLoginsFrom(sink, store);
    {
        InternetDownloader first(&sink, &store);
        const std::wstring url = Servers().FaultUrl(L"/auth/Remembered1/helen/pw8/small.bin");
        ASSERT_EQ(RunBounded([&] { return first.Download(url, dir_ / L"first.bin"); }), 0u);
    }
    // ivan's server rejects helen; the next question gets no answer.
    InternetDownloader second(&sink, &store);
    const std::wstring url = Servers().FaultUrl(L"/auth/Remembered2/ivan/pw9/small.bin");
    EXPECT_EQ(RunBounded([&] { return second.Download(url, dir_ / L"second.bin"); }), DLERR_AUTH_REQUIRED);
    EXPECT_EQ(store.questions, 2);
    EXPECT_EQ(store.Realm(), L"Remembered2");
}

TEST_F(HttpLogin, ChallengeWithoutARealmRecordsAnEmptyRealm)
{
    REQUIRE_TEST_SERVERS();
    PromptingStore store;
    store.WillAnswer(L"carol", L"pw3");
    RecordingSink sink;
    AnswerLoginsFrom(sink, store);
    InternetDownloader downloader(&sink, &store);
    const std::wstring url = Servers().FaultUrl(L"/authnorealm/carol/pw3/small.bin");
    ASSERT_EQ(RunBounded([&] { return downloader.Download(url, dir_ / L"small.bin"); }), 0u);
    EXPECT_EQ(store.questions, 1);
    EXPECT_EQ(store.Realm(), L"");
}

TEST_F(HttpLogin, ProxyLoginNamesTheProxyHostWithoutPort)
{
    REQUIRE_TEST_SERVERS();
    PromptingStore store;
    store.WillAnswer(L"proxyuser", L"proxypw");
    RecordingSink sink;
    AnswerLoginsFrom(sink, store);
    InternetDownloader downloader(&sink, &store);
    downloader.SetProxy(L"127.0.0.1:" + std::to_wstring(Servers().fault));
    EXPECT_EQ(downloader.GetProxy(), L"127.0.0.1:" + std::to_wstring(Servers().fault));
    const std::wstring url = Servers().FaultUrl(L"/proxyauth/Gateway/proxyuser/proxypw/small.bin");
    ASSERT_EQ(RunBounded([&] { return downloader.Download(url, dir_ / L"small.bin"); }), 0u);
    EXPECT_EQ(ReadBytes(dir_ / L"small.bin"), small_);
    EXPECT_EQ(store.questions, 1);
    EXPECT_EQ(store.Realm(), L"Gateway");
    EXPECT_EQ(store.ProxyServer(), L"127.0.0.1");
}
