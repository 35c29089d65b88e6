// Runs of a test build of the chainer that faults on request (ORVANTA_INJECT_FAULT, read by that
// build only): a silent run that faults never waits for anyone, ends with 1603 and leaves the
// whole report, with a symbolized stack trace, in its log, whichever thread faulted.
#include "ChainerPackage.h"
#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const wchar_t kFallbackMessage[] =
    L"Setup has stopped because of an unexpected error. The details below help the package author.";

class CrashRun : public ::testing::Test {
protected:
    void TearDown() override { ::SetEnvironmentVariableW(L"ORVANTA_INJECT_FAULT", nullptr); }

    ChainerPackage package{L"setup.exe", L"ORVANTA_FAULT_CHAINER"};
};

} // namespace

TEST_F(CrashRun, SilentFaultsEndWith1603AndTheReportInTheLog)
{
    REQUIRE_TEST_SERVERS();
    struct Row {
        const wchar_t* mode;
        const wchar_t* heading;
        const wchar_t* text;
    };
    // The download rows fault on threads the chainer does not own (WinINet's) or does not join
    // at once (the digest workers): their reports read like the main thread's.
    const Row rows[] = {
        {L"worker-null-read", L"Error report [SEH_AV_READ_NULLPTR]", L"ACCESS_VIOLATION (0xc0000005) at address [0x"},
        {L"null-read", L"Error report [SEH_AV_READ_NULLPTR]", L"ACCESS_VIOLATION (0xc0000005) at address [0x"},
        {L"status-callback", L"Error report [SEH_AV_READ_NULLPTR]", L"ACCESS_VIOLATION (0xc0000005) at address [0x"},
        {L"digest-worker", L"Error report [SEH_AV_READ_NULLPTR]", L"ACCESS_VIOLATION (0xc0000005) at address [0x"},
        {L"worker-throw", L"Error report [EXCEPTION_GENERIC] FaultInjection.cpp:", L"Injected program error\r\n"},
        {L"library-error", L"Error report [EXCEPTION_STD]", L"basic_string::at: __n (which is 5) >= this->size() (which is 2)"},
        {L"unguarded-thread", L"Error report [EXCEPTION_UNHANDLED]", L"[EXCEPTION_UNHANDLED] (0xc0000005) at address"},
    };
    // Downloaded, with a digest to compute: the other modes fault before the download.
    const IniSection download = {L"[First]", L"SearchType1=7",
                                 L"SearchString1=HKCU\\Software\\OrvantaCrashRun\\Missing",
                                 L"Url=" + download_testing::Servers().NginxUrl(L"small.bin"),
                                 L"MD5=00000000000000000000000000000000"};
    for (const Row& row : rows) {
        package.WritePrerequisites({L"Options=q", L"DownloadFolder=" + package.Folder() + L"\\downloads"}, {download});
        ::DeleteFileW(package.LogPath().c_str());
        ::SetEnvironmentVariableW(L"ORVANTA_INJECT_FAULT", row.mode);
        EXPECT_EQ(package.RunForExitCode(), 1603u) << row.mode;

        const std::wstring log = ReadUtf16File(package.LogPath());
        EXPECT_NE(log.find(row.heading), std::wstring::npos) << row.mode << "\n" << log;
        EXPECT_NE(log.find(row.text), std::wstring::npos) << row.mode;
        EXPECT_NE(log.find(L"MODULE_BASE_ADDRESS\r\n"), std::wstring::npos) << row.mode;
        if (std::wstring(row.heading).find(L"SEH_AV_READ_NULLPTR") != std::wstring::npos) {
            EXPECT_NE(log.find(kFallbackMessage), std::wstring::npos) << row.mode;
            // The symbols of this build of the chainer name the faulting function and its line.
            EXPECT_NE(log.find(L"InjectedNullRead() -> "), std::wstring::npos) << row.mode << "\n" << log;
        }
        // A run that ends with an error report keeps the package as it was: no cleanup.
        EXPECT_TRUE(FileExists(package.IniPath())) << row.mode;
    }
}
