// The login question and the credential store behind it, without a server.
#include "DownloadTestSupport.h"

#include "download/Authentication.h"

using namespace orvanta;
using namespace download_testing;

TEST(Authenticate, FailsWithoutAStoreOrWithoutSomeoneToAsk)
{
    RecordingQuestions questions;
    std::wstring user;
    std::wstring password;
    EXPECT_FALSE(Authenticate(nullptr, &questions, nullptr, L"ftp://h/f", L"FTP Server", false, L"", user, password));
    EXPECT_TRUE(questions.logins.empty());

    PromptingStore store;
    store.WillAnswer(L"bob", L"pw2");
    EXPECT_FALSE(Authenticate(&store, nullptr, nullptr, L"http://h/f", L"r", false, L"", user, password));
    EXPECT_EQ(store.questions, 0);
    EXPECT_EQ(store.Realm(), L"r");
}
