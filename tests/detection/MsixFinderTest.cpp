// Package matching against a fake package listing (Wine has no package manager).
#include "SearchTestSupport.h"

#include "detection/MsixFinder.h"
#include "detection/SearchKinds.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvanta;
using search_tests::Versions;

namespace {

PackageIdentity Package(const std::wstring& name, const std::wstring& publisher, uint32_t architecture,
                        std::array<uint16_t, 4> version)
{
    PackageIdentity package;
    package.name = name;
    package.publisher = publisher;
    package.architecture = architecture;
    package.version = version;
    return package;
}

// Lists four packages in order and counts how many were handed out.
struct FakeListing {
    std::vector<PackageIdentity> packages{
        Package(L"Contoso.Tool", L"CN=Contoso", 11, {1, 0, 0, 0}),
        Package(L"Contoso.Tool", L"CN=Contoso", 9, {2, 3, 4, 5}),
        Package(L"Contoso.Tool", L"CN=Other", 0, {3, 0, 0, 0}),
        Package(L"Fabrikam.App", L"CN=Fabrikam", 12, {4, 1, 0, 0}),
    };
    std::shared_ptr<size_t> visited = std::make_shared<size_t>(0);

    PackageListing AsListing() const
    {
        return [list = packages, count = visited](const PackageVisitor& visit) {
            for (const PackageIdentity& package : list) {
                ++*count;
                if (!visit(package))
                    return;
            }
        };
    }
};

TEST(MsixMatchingTest, NamePublisherAndArchitectureCompareExactlyEmptyOnesMatchTheFirstOfTheName)
{
    FakeListing counted;
    EXPECT_EQ(FindPackageVersion(counted.AsListing(), L"Contoso.Tool", L"", L""), L"1.0.0.0");
    EXPECT_EQ(*counted.visited, 1u);
    EXPECT_EQ(FindPackageVersion(PackageListing(), L"Contoso.Tool", L"", L""), L"");
    const PackageListing listing = FakeListing().AsListing();
    const struct {
        const wchar_t* name;
        const wchar_t* publisher;
        const wchar_t* architecture;
        const wchar_t* version;
    } cases[] = {
        {L"Contoso.Tool", L"", L"x64", L"2.3.4.5"},     {L"Contoso.Tool", L"", L"x86", L"3.0.0.0"},
        {L"Contoso.Tool", L"", L"X64", L""},            {L"Fabrikam.App", L"", L"arm64", L"4.1.0.0"},
        {L"Contoso.Tool", L"CN=Other", L"", L"3.0.0.0"}, {L"Contoso.Tool", L"cn=other", L"", L""},
        {L"contoso.tool", L"", L"", L""},               {L"Contoso", L"", L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindPackageVersion(listing, c.name, c.publisher, c.architecture), c.version)
            << c.name << "|" << c.publisher << "|" << c.architecture;
}

TEST(AppxSearchTest, FieldsAreNameArchitecturePublisherTrimmedListedOnAThreadOfItsOwnAndNothingBeforeWindows10)
{
    // The listing runs on a thread of its own.
    FakeListing listing;
    const DWORD caller = ::GetCurrentThreadId();
    auto listingThread = std::make_shared<DWORD>(caller);
    const PackageListing fake([listingThread, inner = listing.AsListing()](const PackageVisitor& visit) {
        *listingThread = ::GetCurrentThreadId();
        inner(visit);
    });
    SearchFinding early;
    SearchAppxPackage(L"Contoso.Tool", false, early, fake);
    EXPECT_TRUE(early.versions.empty());
    EXPECT_EQ(*listing.visited, 0u);
    const std::pair<const wchar_t*, Versions> cases[] = {
        {L"  Contoso.Tool ? x86 ?\tCN=Other ", {L"3.0.0.0"}},
        {L"Contoso.Tool??CN=Contoso", {L"1.0.0.0"}},
        {L"Contoso.Tool?arm", Versions()},
        {L"Contoso.Tool?x64?CN=Contoso", {L"2.3.4.5"}},
    };
    for (const auto& [text, versions] : cases) {
        SearchFinding finding;
        SearchAppxPackage(text, true, finding, fake);
        EXPECT_EQ(finding.versions, versions) << text;
    }
    EXPECT_NE(*listingThread, caller);
}

} // namespace
