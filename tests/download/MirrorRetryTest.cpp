// Validation before any network access, the session's events, and the retry policy over
// mirrors.
#include "DownloadTestSupport.h"

#include "download/AsyncState.h"

using namespace orvanta;
using namespace download_testing;
using testing_support::TempDir;

namespace {

std::vector<std::wstring> UnreachableUrls(int count)
{
    const int port = ClosedPort();
    std::vector<std::wstring> urls;
    for (int i = 1; i <= count; ++i)
        urls.push_back(L"http://127.0.0.1:" + std::to_wstring(port) + L"/" + std::to_wstring(i) + L".exe");
    return urls;
}

// Creates events, except that the call numbered `failing` fails with 1450; every successful
// call clears the last error, as CreateEventW does.
int eventCalls = 0;
int failingEventCall = 0;
HANDLE CreateEventFailingOnce()
{
    if (++eventCalls == failingEventCall) {
        ::SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return nullptr;
    }
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetLastError(0);
    return event;
}

} // namespace

TEST(SessionEvents, FailureOfEitherEventGivesItsOwnError)
{
    for (int failing : {1, 2, 0}) {  // 0: none fails
        eventCalls = 0;
        failingEventCall = failing;
        AsyncState state;
        DWORD error = 0;
        EXPECT_EQ(CreateAsyncEvents(state, error, CreateEventFailingOnce), failing == 0) << failing;
        EXPECT_EQ(error, failing == 0 ? 0u : static_cast<DWORD>(ERROR_NO_SYSTEM_RESOURCES)) << failing;
        EXPECT_TRUE(failing != 0 || (state.requestComplete && state.handleClosed));
    }
}

TEST(DownloadValidation, BadSchemeOrRelativeTargetFailsBeforeAnyOpen)
{
    TempDir dir;
    RecordingSink sink;
    CountingDownloader downloader(&sink, nullptr);
    EXPECT_EQ(downloader.Download(L"mailto:someone@example.com", dir / L"x.exe"), 12006u);
    EXPECT_EQ(downloader.Download(L"http://127.0.0.1:9/a.exe", L"a.exe"), DLERR_TARGET_NOT_ABSOLUTE);
    EXPECT_EQ(downloader.Download(L"file:///C:/a.exe", L"\\a.exe"), DLERR_TARGET_NOT_ABSOLUTE);
    // One bad URL among mirrors fails the whole list, and so does an empty list.
    EXPECT_EQ(downloader.DownloadFromUrls({L"http://127.0.0.1/a.exe", L"gopher://h/a.exe"}, dir / L"a.exe"), 12006u);
    EXPECT_EQ(downloader.DownloadFromUrls({}, dir / L"a.exe"), 12006u);
    // Every mirror must fit the 2,083 characters of a WinINet URL; one more fails the list.
    std::wstring longest = L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/";
    longest.resize(2083 - 4, L'a');
    longest += L".exe";
    EXPECT_EQ(downloader.DownloadFromUrls({longest, longest + L"x"}, dir / L"a.exe"), 12005u);
    EXPECT_TRUE(downloader.attempts.empty());
    CountingDownloader atLimit(nullptr, nullptr);
    EXPECT_EQ(Fetch(atLimit, longest, dir / L"a.exe"), 12029u);
    EXPECT_EQ(atLimit.attempts, std::vector<std::wstring>(7, longest));
    const auto errors = sink.Errors();
    ASSERT_GE(errors.size(), 3u);
    EXPECT_EQ(errors[0].code, 12006u);
    EXPECT_EQ(errors[1].code, DLERR_TARGET_NOT_ABSOLUTE);
    EXPECT_FALSE(errors[0].hasText);
    EXPECT_FALSE(errors[1].hasText);
}

TEST(MirrorRetry, UnreachableHostsAreAttemptedSevenTimesInTurn)
{
    TempDir dir;
    RecordingSink sink;
    CountingDownloader single(&sink, nullptr);
    const std::vector<std::wstring> urls = UnreachableUrls(3);
    EXPECT_EQ(Fetch(single, urls[0], dir / L"setup.exe"), 12029u);
    EXPECT_EQ(single.attempts, std::vector<std::wstring>(7, urls[0]));
    ExpectOneFailure(sink, 12029u, L"setup.exe");
    EXPECT_FALSE(testing_support::FileExists(dir / L"setup.exe"));

    CountingDownloader mirrors(nullptr, nullptr);
    RunBounded([&] { return mirrors.DownloadFromUrls(urls, dir / L"x.exe"); });
    EXPECT_EQ(mirrors.attempts,
              (std::vector<std::wstring>{urls[0], urls[1], urls[2], urls[0], urls[1], urls[2], urls[0]}));
}

TEST(MirrorRetry, NotFoundEndsAnOnlyUrlAtOnceButMovesOnToTheNextMirror)
{
    REQUIRE_TEST_SERVERS();
    TempDir dir;
    RecordingSink sink;
    CountingDownloader only(&sink, nullptr);
    EXPECT_EQ(Fetch(only, Servers().NginxUrl(L"missing.bin"), dir / L"m.bin"), DLERR_NOT_FOUND);
    EXPECT_EQ(only.attempts.size(), 1u);
    ExpectOneFailure(sink, DLERR_NOT_FOUND, L"m.bin");

    RecordingSink mirrorSink;
    CountingDownloader mirrors(&mirrorSink, nullptr);
    const std::vector<std::wstring> urls = {Servers().NginxUrl(L"missing.bin"), Servers().NginxUrl(L"small.bin")};
    EXPECT_EQ(RunBounded([&] { return mirrors.DownloadFromUrls(urls, dir / L"s.bin"); }), 0u);
    EXPECT_EQ(mirrors.attempts, urls);
    EXPECT_EQ(testing_support::ReadBytes(dir / L"s.bin"), testing_support::ReadBytes(Servers().DataFile(L"small.bin")));
    EXPECT_TRUE(mirrorSink.Errors().empty());
}
