// The login question and the credential store behind it, without a server.
#include "DownloadTestSupport.h"

#include "download/Authentication.h"

#include <new>

using namespace orvanta;
using namespace download_testing;

TEST(Authenticate, FailsWithoutAStoreOrWithoutASinkToAsk)
{
    RecordingSink sink;
    std::wstring user;
    std::wstring password;
    EXPECT_FALSE(Authenticate(nullptr, &sink, nullptr, L"ftp://h/f", L"FTP Server", false, L"", user, password));
    EXPECT_TRUE(sink.Errors().empty());

    PromptingStore store;
    store.WillAnswer(L"bob", L"pw2");
    EXPECT_FALSE(Authenticate(&store, nullptr, nullptr, L"http://h/f", L"r", false, L"", user, password));
    EXPECT_EQ(store.questions, 0);
    EXPECT_EQ(store.Realm(), L"r");
}

TEST(Authenticate, StoreAboveFourGigabytesIsHandedWholeToTheSink)
{
    if (sizeof(void*) < 8)
        GTEST_SKIP() << "a 32-bit address always fits";
    // A store placed where a 32-bit context would lose the high half of its address.
    void* memory = nullptr;
    for (uint64_t terabyte = 0x7A; memory == nullptr && terabyte < 0x7F; ++terabyte)
        memory = ::VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(terabyte << 40)),
                                sizeof(PromptingStore), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(memory, nullptr);
    ASSERT_NE(reinterpret_cast<uintptr_t>(memory) >> 16 >> 16, 0u);  // above 4 GB
    auto* store = new (memory) PromptingStore();
    store->WillAnswer(L"carol", L"pw3");
    RecordingSink sink;
    AnswerLoginsFrom(sink, *store);
    std::wstring user;
    std::wstring password;
    EXPECT_TRUE(Authenticate(store, &sink, nullptr, L"http://h/f", L"r", false, L"", user, password));
    EXPECT_EQ(user, L"carol");
    EXPECT_EQ(store->questions, 1);
    store->~PromptingStore();
    ::VirtualFree(memory, 0, MEM_RELEASE);
}
