// Windows Installer searches against two packages built with wixl and installed into the test
// prefix by Wine's msiexec. Both share one upgrade code; the first holds a file component.
#include "SearchTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvanta;
using search_tests::Find;
using search_tests::Holds;
using search_tests::Search;
using search_tests::Versions;

namespace {

const wchar_t kProductA[] = L"{7A3C51E2-94B0-4F16-8D2A-5E0C71B9A301}";
const wchar_t kProductB[] = L"{7A3C51E2-94B0-4F16-8D2A-5E0C71B9A302}";
const wchar_t kUpgradeCode[] = L"{7A3C51E2-94B0-4F16-8D2A-5E0C71B9A300}";
const wchar_t kComponentA[] = L"{7A3C51E2-94B0-4F16-8D2A-5E0C71B9AC01}";
const wchar_t kNeverInstalled[] = L"{7A3C51E2-94B0-4F16-8D2A-5E0C71B9AFFF}";

std::wstring PackagePath(const wchar_t* name)
{
    return search_tests::BesideTestProgram(std::wstring(L"msi\\") + name);
}

DWORD Msiexec(const std::wstring& arguments)
{
    const testing_support::ProcessResult result = testing_support::RunProcess(L"msiexec.exe " + arguments + L" /qn");
    return result.started && result.finished ? result.exitCode : 0xFFFFFFFFu;
}

class MsiSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        available_ = testing_support::FileExists(PackagePath(L"search-a.msi")) &&
                     testing_support::FileExists(PackagePath(L"search-b.msi"));
        if (!available_)
            return;
        // A run that stopped half-way may have left either product behind.
        Uninstall();
        installResultA_ = Msiexec(L"/i \"" + PackagePath(L"search-a.msi") + L"\"");
        installResultB_ = Msiexec(L"/i \"" + PackagePath(L"search-b.msi") + L"\"");
    }

    static void TearDownTestSuite()
    {
        if (available_)
            Uninstall();
    }

    static void Uninstall()
    {
        Msiexec(std::wstring(L"/x ") + kProductA);
        Msiexec(std::wstring(L"/x ") + kProductB);
    }

    void SetUp() override
    {
        if (!available_)
            GTEST_SKIP() << "the test packages were not built (wixl missing)";
        ASSERT_EQ(installResultA_, 0u);
        ASSERT_EQ(installResultB_, 0u);
    }

    static inline bool available_ = false;
    static inline DWORD installResultA_ = 0;
    static inline DWORD installResultB_ = 0;
};

TEST_F(MsiSearchTest, ProductUpgradeCodeAndComponentSearchesMalformedCodesFindNothing)
{
    EXPECT_EQ(Find(SearchType::MsiProductVersion, kProductA).versions, Versions{L"2.5.1"});
    EXPECT_TRUE(Find(SearchType::MsiProductVersion, kNeverInstalled).versions.empty());
    EXPECT_TRUE(Holds(Search(SearchType::MsiProductVersion, kProductA, L"2.5", L"2.6")));
    EXPECT_FALSE(Holds(Search(SearchType::MsiProductVersion, kProductA, L"2.5.2")));
    EXPECT_FALSE(Holds(Search(SearchType::MsiProductVersion, kProductA, L"", L"2.5.0")));

    // Components are found through the longer path buffer.
    EXPECT_TRUE(Find(SearchType::MsiComponentInstalled, kComponentA).found);
    EXPECT_FALSE(Find(SearchType::MsiComponentInstalled, kNeverInstalled).found);

    Versions versions = Find(SearchType::MsiUpgradeCodeVersions, kUpgradeCode).versions;
    std::sort(versions.begin(), versions.end());
    EXPECT_EQ(versions, (Versions{L"2.5.1", L"3.1.0"}));
    EXPECT_TRUE(Find(SearchType::MsiUpgradeCodeVersions, kNeverInstalled).versions.empty());
    // One of the versions in range suffices.
    EXPECT_TRUE(Holds(Search(SearchType::MsiUpgradeCodeVersions, kUpgradeCode, L"3.0")));

    for (const std::wstring& text : {std::wstring(), std::wstring(L"not a guid"), std::wstring(L"{7A3C51E2"),
                                     std::wstring(5000, L'{')}) {
        EXPECT_TRUE(Find(SearchType::MsiProductVersion, text).versions.empty());
        EXPECT_TRUE(Find(SearchType::MsiUpgradeCodeVersions, text).versions.empty());
        EXPECT_FALSE(Find(SearchType::MsiComponentInstalled, text).found);
    }
}

} // namespace
