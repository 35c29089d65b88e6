// RunProgram searches start testhelper.exe from the package folder and answer by its exit code.
#include "SearchTestSupport.h"

#include "install/ExtractionContext.h"

#include <gtest/gtest.h>

using namespace orvanta;
using search_tests::Search;
using testing_support::TempDir;

namespace {

// The "show=" line of a testhelper report.
std::wstring ReportedShow(const std::wstring& report)
{
    for (const std::wstring& line : testing_support::LogMessages(testing_support::ReadUtf16File(report))) {
        if (line.compare(0, 5, L"show=") == 0)
            return line.substr(5);
    }
    return L"(no report)";
}

class RunProgramSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring helper = search_tests::Unversioned();
        ASSERT_TRUE(testing_support::FileExists(helper));
        const size_t slash = helper.rfind(L'\\');
        context_.SetModule(helper, helper.substr(0, slash + 1));
        context_.Configure(L"");
        programName_ = helper.substr(slash + 1);
    }

    bool Run(const std::wstring& commandLine, const std::wstring& refContent = L"")
    {
        return Run(programName_, commandLine, &context_, refContent);
    }
    static bool Run(const std::wstring& program, const std::wstring& commandLine, const ExtractionContext* context,
                    const std::wstring& refContent = L"")
    {
        PrereqSearch search = Search(SearchType::RunProgram, program, L"", L"", refContent);
        search.SearchCmdLine = commandLine;
        std::vector<SearchFinding> findings;
        const bool answer = EvaluateSearches({search}, findings, 0, false, context);
        EXPECT_EQ(findings.size(), 1u);
        return answer;
    }

    ExtractionContext context_;
    std::wstring programName_;
    TempDir temp_;
};

TEST_F(RunProgramSearchTest, ExitCodeZeroIsFoundOthersAndProgramsThatCannotStartAreNotAndParametersAreExpanded)
{
    EXPECT_TRUE(Run(L"--exit 0"));
    EXPECT_FALSE(Run(L"--exit 1"));
    EXPECT_FALSE(Run(L"--exit 3010"));

    ::SetEnvironmentVariableW(L"ORVANTA_H3_EXIT", L"0");
    EXPECT_TRUE(Run(L"--exit %ORVANTA_H3_EXIT%"));
    ::SetEnvironmentVariableW(L"ORVANTA_H3_EXIT", L"1");
    EXPECT_FALSE(Run(L"--exit %ORVANTA_H3_EXIT%"));
    ::SetEnvironmentVariableW(L"ORVANTA_H3_EXIT", nullptr);

    // Programs that cannot start are not found.
    EXPECT_FALSE(Run(L"no-such-program.exe", L"", &context_));
    EXPECT_FALSE(Run(programName_, L"--exit 0", nullptr));

    ExtractionContext context;
    context.SetModule(temp_ / L"setup.exe", temp_.Path() + L"\\");
    context.Configure(L"");
    ASSERT_TRUE(::CreateDirectoryW((temp_ / L"tools").c_str(), nullptr));
    // Opening a folder would start Explorer, which never exits.
    EXPECT_FALSE(Run(L"tools", L"", &context));
    EXPECT_FALSE(Run(L"", L"", &context));
    EXPECT_FALSE(Run(L".", L"", &context));
    // The chainer itself as search program is refused in a whole run (tests/e2e/RunChainerTest.cpp).
}

TEST_F(RunProgramSearchTest, WndHideStartsTheProgramHidden)
{
    const std::wstring hiddenReport = temp_ / L"hidden.txt";
    const std::wstring shownReport = temp_ / L"shown.txt";
    EXPECT_TRUE(Run(L"--report \"" + hiddenReport + L"\"", L"WND_HIDE"));
    EXPECT_TRUE(Run(L"--report \"" + shownReport + L"\"", L"wnd_hide"));
    EXPECT_EQ(ReportedShow(hiddenReport), L"0");
    const std::wstring shown = ReportedShow(shownReport);
    EXPECT_NE(shown, L"0");
    EXPECT_NE(shown, L"(no report)");
}

} // namespace
