// Translated faults on worker threads, stack traces and the reports built from them. The faults
// are real (null reads, divisions by zero) on threads of this program. Whole runs that fault, and
// their reports in the log, are tests/e2e/CrashRunTest.cpp.
#include "platform/Exception.h"
#include "platform/ExceptionPresenter.h"
#include "platform/FaultTranslation.h"
#include "platform/StackTrace.h"
#include "platform/Text.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <stdexcept>

using namespace orvanta;
using testing_support::CountOf;

namespace {

const wchar_t kFallbackMessage[] =
    L"Setup has stopped because of an unexpected error. The details below help the package author.";
const wchar_t kMoreFrames[] = L"<--------------------MORE--FRAMES-------------------->\r\n";

// Volatile, so that the compiler keeps the faulting instructions.
volatile int* volatile g_pointer = nullptr;
volatile int g_zero = 0;
using Function = void (*)();
volatile Function g_nullFunction = nullptr;

void ReadNull() { g_pointer = nullptr; (void)*g_pointer; }
void ReadBad() { g_pointer = reinterpret_cast<int*>(0x10); (void)*g_pointer; }
void WriteNull() { g_pointer = nullptr; *g_pointer = 1; }
void WriteBad() { g_pointer = reinterpret_cast<int*>(0x10); *g_pointer = 1; }
void ExecuteNull() { g_nullFunction(); }
void DivideByZero() { volatile int result = 10 / g_zero; (void)result; }

class CrashReportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InstallCrashHandling(); }
};

// The SehException a fault on a worker thread turns into, as the joining thread sees it.
SehException FaultOnWorker(void (*fault)())
{
    try {
        RunOnGuardedThread(fault);
    } catch (const SehException& exception) {
        return exception;
    }
    ADD_FAILURE() << "no SehException";
    return SehException(L"", 0, L"", 0, -1);
}

#if defined(_MSC_VER)
#define NOT_INLINED __declspec(noinline)
#else
#define NOT_INLINED __attribute__((noinline))
#endif

// One real frame per level: the local is read after the call, so no level can be folded away.
NOT_INLINED int Recurse(int depth, const std::function<void()>& atBottom)
{
    volatile int level = depth;
    if (depth == 0)
        atBottom();
    else
        Recurse(depth - 1, atBottom);
    return level;
}

} // namespace

TEST(ExceptionKinds, KindAndSubtypeNames)
{
    EXPECT_EQ(KindName(8), L"Exception ???");  // out of range; the names in range are met below
    // The faults this program can cause for real are in the tests below.
    const std::pair<std::array<ULONG_PTR, 4>, const wchar_t*> subtypes[] = {
        {{EXCEPTION_ACCESS_VIOLATION, 2, 8, 0x10}, L"SEH_AV_DEP_BADPTR"},
        {{EXCEPTION_ACCESS_VIOLATION, 2, 3, 0}, L"SEH_GENERIC"},  // an unknown access kind
        {{EXCEPTION_ACCESS_VIOLATION, 0, 0, 0}, L"SEH_GENERIC"},  // no parameters
        {{EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0, 0}, L"SEH_GENERIC"},
    };
    for (const auto& [r, name] : subtypes)
        EXPECT_EQ(SehSubtypeName(SehSubtypeFor(static_cast<DWORD>(r[0]), static_cast<DWORD>(r[1]), r[2], r[3])), name)
            << name;
    EXPECT_EQ(FaultCodeName(0xE0000001), L"");
}

TEST_F(CrashReportTest, AccessViolationsOnAWorkerThreadBecomeSehExceptions)
{
    const std::pair<void (*)(), const wchar_t*> faults[] = {
        {ReadNull, L"SEH_AV_READ_NULLPTR"},   {ReadBad, L"SEH_AV_READ_BADPTR"},
        {WriteNull, L"SEH_AV_WRITE_NULLPTR"}, {WriteBad, L"SEH_AV_WRITE_BADPTR"},
        {ExecuteNull, L"SEH_AV_DEP_NULLPTR"},
    };
    for (const auto& fault : faults) {
        SehException exception = FaultOnWorker(fault.first);
        EXPECT_EQ(exception.GetKindName(), fault.second);
        EXPECT_EQ(exception.GetKind(), 7);
        EXPECT_EQ(exception.ErrorCode(), 0xC0000005u);
        const std::wstring text = exception.GetText(false);
        EXPECT_EQ(text.rfind(L"ACCESS_VIOLATION (0xc0000005) at address [0x", 0), 0u) << text;
        EXPECT_EQ(CountOf(text, kStackTraceMarker), 1u) << fault.second;
        EXPECT_NE(text.find(L"MODULE_BASE_ADDRESS\r\n"), std::wstring::npos);
    }
}

TEST_F(CrashReportTest, DivisionByZeroNamesTheFaultAndItsAddress)
{
    SehException exception = FaultOnWorker(DivideByZero);
    const std::wstring text = exception.GetText(false);
    EXPECT_EQ(text.rfind(L"INT_DIVIDE_BY_ZERO (0xc0000094) at address [0x", 0), 0u) << text;
    EXPECT_EQ(exception.GetKindName(), L"SEH_GENERIC");
    // The address is the faulting instruction, which lies in this program.
    const size_t open = text.find(L"[0x");
    const ULONG_PTR address = wcstoull(text.c_str() + open + 3, nullptr, 16);
    HMODULE module = nullptr;
    ASSERT_TRUE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     reinterpret_cast<LPCWSTR>(address), &module));
    EXPECT_EQ(module, ::GetModuleHandleW(nullptr));
}

TEST_F(CrashReportTest, GuardsNestAndKeepWorkingAfterAFault)
{
    int caughtInside = 0;
    const std::exception_ptr escaped = RunContained([&] {
        for (int round = 0; round < 2; ++round) {
            try {
                RunTranslatingFaults(ReadNull);
            } catch (const SehException&) {
                ++caughtInside;
            }
        }
        DivideByZero();
    });
    EXPECT_EQ(caughtInside, 2);
    ASSERT_TRUE(escaped);
    try {
        std::rethrow_exception(escaped);
    } catch (SehException& exception) {
        EXPECT_EQ(exception.GetText(false).rfind(L"INT_DIVIDE_BY_ZERO", 0), 0u);
    }
    EXPECT_FALSE(RunContained([] {}));
}

TEST_F(CrashReportTest, TraceAtItsFrameLimitEndsWithMoreFramesAndTheModuleBase)
{
    std::wstring limited;
    std::wstring whole;
    Recurse(30, [&] {
        limited = CurrentStackTrace(5);
        whole = CurrentStackTrace(kMaximumTraceFrames);
    });
    ASSERT_EQ(limited.rfind(kStackTraceMarker, 0), 0u) << limited;
    const std::wstring frames = limited.substr(wcslen(kStackTraceMarker));
    EXPECT_EQ(CountOf(frames, L"\r\n"), 7u) << frames;  // five frames, MORE-FRAMES, module base
    const size_t more = frames.find(kMoreFrames);
    ASSERT_NE(more, std::wstring::npos);
    const std::wstring tail = frames.substr(more + wcslen(kMoreFrames));
    EXPECT_EQ(tail, Format(L"[0x%.8Ix]  MODULE_BASE_ADDRESS\r\n",
                           reinterpret_cast<ULONG_PTR>(::GetModuleHandleW(nullptr))));
    // Thirty recursions and more fit into the whole trace, which needs no MORE-FRAMES line.
    EXPECT_EQ(whole.find(kMoreFrames), std::wstring::npos);
    EXPECT_GT(CountOf(whole, L" -> "), 30u) << whole;
}

TEST_F(CrashReportTest, ReportsSplitMessageAndDetailsAndGoToTheLog)
{
    SehException fault = FaultOnWorker(ReadNull);
    const ErrorReport faultReport = BuildReport(fault);
    EXPECT_EQ(faultReport.kindName, L"SEH_AV_READ_NULLPTR");
    EXPECT_EQ(faultReport.message, kFallbackMessage);
    EXPECT_EQ(faultReport.details, fault.GetText(false));

    Exception error(L"Two lines\r\nof message", kDefaultExceptionCode, L"C:\\src\\run\\Pipeline.cpp", 77);
    const ErrorReport errorReport = BuildReport(error);
    EXPECT_EQ(errorReport.message, L"Two lines\r\nof message");
    EXPECT_EQ(errorReport.details.rfind(L"Two lines\r\nof message\r\n" + std::wstring(kStackTraceMarker), 0), 0u);
    EXPECT_EQ(errorReport.sourceFile, L"Pipeline.cpp");
    // Asking again does not add a second trace.
    EXPECT_EQ(CountOf(BuildReport(error).details, kStackTraceMarker), 1u);
    EXPECT_EQ(BuildReport(*std::make_unique<Exception>(L"")).message, kFallbackMessage);
    EXPECT_EQ(BuildStdReport(std::runtime_error("bad index")).kindName, L"EXCEPTION_STD");

    const ErrorReport unhandled = BuildUnhandledReport(nullptr);
    EXPECT_EQ(unhandled.details, L"[EXCEPTION_UNHANDLED] ");
    EXPECT_EQ(unhandled.message, kFallbackMessage);
}
