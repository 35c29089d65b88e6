// Cancelling a download in every phase of HTTP and FTP against servers that stall right there:
// the engine ends with DLERR_CANCELED, reports nothing, leaves no target, and WinINet's later
// completions for the abandoned calls do no harm to the process.
#include "DownloadTestSupport.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace orvanta;
using namespace download_testing;
using testing_support::FileExists;
using testing_support::ReadBytes;
using testing_support::TempDir;

namespace {

// The fault server's FTP stalls end after this long: some WinINets run the FTP login, commands
// and reads synchronously, and a cancel there takes effect only when the call returns.
constexpr DWORD kMuteStallMs = 5000;

struct StalledPhase {
    const char* phase;
    std::wstring url;
    bool waitForData;  // the stall comes after some bytes arrived
};

std::vector<StalledPhase> StalledPhases()
{
    const TestServers& servers = Servers();
    return {
        {"HTTP connect", L"http://127.0.0.1:" + std::to_wstring(servers.faultBacklog) + L"/medium.bin", false},
        {"HTTP send", servers.FaultUrl(L"/silent/medium.bin"), false},
        {"HTTP read", servers.FaultUrl(L"/stall/1000000/medium.bin"), true},
        {"FTP connect", servers.FtpUrl(L"", L"medium.bin", servers.faultMute), false},
        {"FTP command", servers.FtpUrl(L"stallcommand:x", L"medium.bin", servers.faultFtp), false},
        {"FTP open", servers.FtpUrl(L"stallopen:x", L"medium.bin", servers.faultFtp), false},
        {"FTP read", servers.FtpUrl(L"stallread:x", L"medium.bin", servers.faultFtp), true},
    };
}

} // namespace

TEST(CancelDownload, EveryStalledPhaseEndsCanceledWithoutReportsOrTarget)
{
    REQUIRE_TEST_SERVERS();
    TempDir dir;
    const std::string medium = ReadBytes(Servers().DataFile(L"medium.bin"));
    for (const StalledPhase& row : StalledPhases()) {
        SCOPED_TRACE(row.phase);
        const std::wstring target = dir / L"medium.bin";
        RecordingSink sink;
        {
            InternetDownloader downloader(&sink, nullptr);
            std::thread canceler([&] {
                // Bounded waits: until data flows where the stall follows data, then a moment
                // for the engine to be inside the stalled call.
                for (int i = 0; row.waitForData && i < 500 && sink.progress.load() == 0; ++i)
                    ::Sleep(10);
                ::Sleep(1000);
                sink.canceled = true;
            });
            EXPECT_EQ(Fetch(downloader, row.url, target), DLERR_CANCELED);
            canceler.join();
        }
        EXPECT_TRUE(sink.Errors().empty());
        EXPECT_FALSE(FileExists(target));
        EXPECT_EQ(sink.transfersCompleted.load(), 0);
        ::DeleteFileW((target + L".part").c_str());
    }

    // The stalls that end by themselves have ended now, and their late completions have reached
    // the abandoned calls. The open that the FTP server granted late was closed by the engine, so
    // the server's session ended; the process still downloads normally over both protocols.
    ::Sleep(kMuteStallMs);
    EXPECT_NE(ReadBytes(Servers().faultLog).find("ftp session of stallopen ended"), std::string::npos);
    for (const std::wstring& url : {Servers().NginxUrl(L"medium.bin"), Servers().FtpUrl(L"", L"medium.bin")}) {
        InternetDownloader downloader(nullptr, nullptr);
        ASSERT_EQ(Fetch(downloader, url, dir / L"again.bin"), 0u);
        EXPECT_EQ(ReadBytes(dir / L"again.bin"), medium);
        ::DeleteFileW((dir / L"again.bin").c_str());
    }
}
