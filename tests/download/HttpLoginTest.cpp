// Logins asked for by an HTTP server (401) or a proxy (407).
#include "DownloadTestSupport.h"

using namespace orvanta;
using namespace download_testing;
using testing_support::FileExists;
using testing_support::ReadBytes;

namespace {

std::wstring WithLogin(const std::wstring& url, const std::wstring& login)
{
    const size_t hostStart = url.find(L"://") + 3;
    return url.substr(0, hostStart) + login + L"@" + url.substr(hostStart);
}

// WinINet keeps accepted Basic credentials per host for the whole process and sends them on its
// own to later requests of that host, so each test uses a realm and a user of its own.
class HttpLogin : public TransferTest {
protected:
    // Downloads `url` into small.bin.
    uint32_t Fetch(InternetDownloader& downloader, const std::wstring& url)
    {
        return download_testing::Fetch(downloader, url, dir_ / L"small.bin");
    }
    bool GotTheFile() const { return ReadBytes(dir_ / L"small.bin") == small_; }

    // Through the proxy on the fault server.
    InternetDownloader ViaProxy()
    {
        DownloadSettings settings;
        settings.proxy = L"127.0.0.1:" + std::to_wstring(Servers().fault);
        return InternetDownloader(&sink_, &store_, &questions_, settings);
    }

    PromptingStore store_;
    RecordingQuestions questions_;
};

} // namespace

TEST_F(HttpLogin, CredentialsInTheUrlAreSentFirst)
{
    InternetDownloader downloader(&sink_, &store_, &questions_);
    ASSERT_EQ(Fetch(downloader, WithLogin(Servers().FaultUrl(L"/auth/UrlFirst/alice/pw1/small.bin"), L"alice:pw1")),
              0u);
    EXPECT_TRUE(GotTheFile());
    EXPECT_EQ(store_.questions, 0);
    EXPECT_TRUE(sink_.Errors().empty());
}

TEST_F(HttpLogin, UnansweredLoginFailsWithAuthRequiredAndRecordsTheRealm)
{
    CredentialStore store;  // asks nobody
    RecordingSink sink;
    RecordingQuestions questions;
    InternetDownloader downloader(&sink, &store, &questions);
    const std::wstring url = Servers().FaultUrl(L"/auth/Unanswered/erin/pw5/small.bin");
    EXPECT_EQ(Fetch(downloader, url), DLERR_AUTH_REQUIRED);
    EXPECT_EQ(store.Realm(), L"Unanswered");
    EXPECT_EQ(store.Url(), url);
    EXPECT_EQ(store.ProxyServer(), L"");
    EXPECT_EQ(questions.logins, std::vector<std::wstring>{url});  // the question
    const auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, L"small.bin");  // the failure
    EXPECT_EQ(errors[0].code, DLERR_AUTH_REQUIRED);
    EXPECT_FALSE(FileExists(dir_ / L"small.bin"));
}

TEST_F(HttpLogin, RejectedUrlCredentialsLeadToTheQuestionWithoutShowingThePassword)
{
    store_.WillAnswer(L"gina", L"pw7");
    InternetDownloader downloader(&sink_, &store_, &questions_);
    const std::wstring url = WithLogin(Servers().FaultUrl(L"/auth/Rejected/gina/pw7/small.bin"), L"gina:wrong-secret");
    ASSERT_EQ(Fetch(downloader, url), 0u);
    EXPECT_TRUE(GotTheFile());
    EXPECT_EQ(store_.questions, 1);
    for (const ReportedError& error : sink_.Errors())
        EXPECT_EQ(error.text.find(L"wrong-secret"), std::wstring::npos) << error.text;
    for (const std::wstring& question : questions_.logins)
        EXPECT_EQ(question.find(L"wrong-secret"), std::wstring::npos) << question;
    EXPECT_EQ(store_.Url().find(L"wrong-secret"), std::wstring::npos);
}

TEST_F(HttpLogin, RememberedCredentialsThatFailAreFollowedByOneQuestion)
{
    store_.WillAnswer(L"helen", L"pw8");
    {
        InternetDownloader first(&sink_, &store_, &questions_);
        ASSERT_EQ(Fetch(first, Servers().FaultUrl(L"/auth/Remembered1/helen/pw8/small.bin")), 0u);
    }
    // ivan's server is offered helen from memory once, rejects her, and only then is the user
    // asked; the question gets no answer.
    store_.offered.clear();
    InternetDownloader second(&sink_, &store_, &questions_);
    EXPECT_EQ(Fetch(second, Servers().FaultUrl(L"/auth/Remembered2/ivan/pw9/small.bin")), DLERR_AUTH_REQUIRED);
    EXPECT_EQ(store_.offered, std::vector<std::wstring>{L"helen"});
    EXPECT_EQ(store_.questions, 2);
    EXPECT_EQ(store_.Realm(), L"Remembered2");
}

TEST_F(HttpLogin, CredentialsNotToRememberAreNeverOfferedToAnotherServerOrProxy)
{
    store_.WillAnswer(L"helen", L"pw8", false);
    {
        InternetDownloader first(&sink_, &store_, &questions_);
        ASSERT_EQ(Fetch(first, Servers().FaultUrl(L"/auth/Once/helen/pw8/small.bin")), 0u);
    }
    // A proxy asks next: the person is asked at once, helen is not offered from memory.
    store_.offered.clear();
    InternetDownloader other = ViaProxy();
    EXPECT_EQ(Fetch(other, Servers().FaultUrl(L"/proxyauth/Elsewhere/proxyuser/proxypw/small.bin")),
              DLERR_AUTH_REQUIRED);
    EXPECT_TRUE(store_.offered.empty());
    EXPECT_EQ(store_.questions, 2);
}

TEST_F(HttpLogin, ProxyLoginNamesTheProxyHostWithoutPort)
{
    store_.WillAnswer(L"proxyuser", L"proxypw");
    InternetDownloader downloader = ViaProxy();
    ASSERT_EQ(Fetch(downloader, Servers().FaultUrl(L"/proxyauth/Gateway/proxyuser/proxypw/small.bin")), 0u);
    EXPECT_TRUE(GotTheFile());
    EXPECT_EQ(store_.questions, 1);
    EXPECT_EQ(store_.Realm(), L"Gateway");
    EXPECT_EQ(store_.ProxyServer(), L"127.0.0.1");
}
