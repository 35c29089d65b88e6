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

void Uninstall()
{
    Msiexec(std::wstring(L"/x ") + kProductA);
    Msiexec(std::wstring(L"/x ") + kProductB);
}

TEST(MsiSearchTest, ProductUpgradeCodeAndComponentSearchesMalformedCodesFindNothing)
{
    if (!testing_support::FileExists(PackagePath(L"search-a.msi")) ||
        !testing_support::FileExists(PackagePath(L"search-b.msi")))
        GTEST_SKIP() << "the test packages were not built (wixl missing)";
    Uninstall();  // a run that stopped half-way may have left either product behind
    const ScopeGuard uninstallAtEnd(Uninstall);
    ASSERT_EQ(Msiexec(L"/i \"" + PackagePath(L"search-a.msi") + L"\""), 0u);
    ASSERT_EQ(Msiexec(L"/i \"" + PackagePath(L"search-b.msi") + L"\""), 0u);

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
