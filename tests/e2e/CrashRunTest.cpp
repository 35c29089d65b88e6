// Runs of a test build of the chainer that faults on request (ORVANTA_INJECT_FAULT, read by that
// build only): a silent run that faults never waits for anyone, ends with 1603 and leaves the
// whole report, with a symbolized stack trace, in its log.
#include "ChainerPackage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const wchar_t kFallbackMessage[] =
    L"Setup has stopped because of an unexpected error. The details below help the package author.";

class CrashRun : public ::testing::Test {
protected:
    void TearDown() override { ::SetEnvironmentVariableW(L"ORVANTA_INJECT_FAULT", nullptr); }

    ProcessResult RunFaulting(const wchar_t* mode)
    {
        ::SetEnvironmentVariableW(L"ORVANTA_INJECT_FAULT", mode);
        return package.Run();
    }

    ChainerPackage package{L"setup.exe", L"ORVANTA_FAULT_CHAINER"};
};

} // namespace

TEST_F(CrashRun, SilentFaultsEndWith1603AndTheReportInTheLog)
{
    struct Row {
        const wchar_t* mode;
        const wchar_t* heading;
        const wchar_t* text;
    };
    const Row rows[] = {
        {L"worker-null-read", L"Error report [SEH_AV_READ_NULLPTR]", L"ACCESS_VIOLATION (0xc0000005) at address [0x"},
        {L"null-read", L"Error report [SEH_AV_READ_NULLPTR]", L"ACCESS_VIOLATION (0xc0000005) at address [0x"},
        {L"worker-throw", L"Error report [EXCEPTION_GENERIC] FaultInjection.cpp:", L"Injected program error\r\n"},
        {L"library-error", L"Error report [EXCEPTION_STD]", L"basic_string::at: __n (which is 5) >= this->size() (which is 2)"},
        {L"unguarded-thread", L"Error report [EXCEPTION_UNHANDLED]", L"[EXCEPTION_UNHANDLED] (0xc0000005) at address"},
    };
    for (const Row& row : rows) {
        package.WritePrerequisites({L"Options=q"}, {{L"[First]", L"SetupFile=first.exe"}});
        ::DeleteFileW(package.LogPath().c_str());
        const ProcessResult result = RunFaulting(row.mode);
        ASSERT_TRUE(result.finished) << row.mode;
        EXPECT_EQ(result.exitCode, 1603u) << row.mode;

        const std::wstring log = ReadUtf16File(package.LogPath());
        EXPECT_NE(log.find(row.heading), std::wstring::npos) << row.mode << "\n" << log;
        EXPECT_NE(log.find(row.text), std::wstring::npos) << row.mode;
        EXPECT_NE(log.find(L"MODULE_BASE_ADDRESS\r\n"), std::wstring::npos) << row.mode;
        if (std::wstring(row.mode).find(L"null-read") != std::wstring::npos) {
            EXPECT_NE(log.find(kFallbackMessage), std::wstring::npos) << row.mode;
            // The symbols of this build of the chainer name the faulting function and its line.
            EXPECT_NE(log.find(L"InjectedNullRead() -> "), std::wstring::npos) << row.mode << "\n" << log;
        }
        // A run that ends with an error report keeps the package as it was: no cleanup.
        EXPECT_TRUE(FileExists(package.IniPath())) << row.mode;
    }
}
