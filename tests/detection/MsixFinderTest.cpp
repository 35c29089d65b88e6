// Package matching against a fake package listing, and the real package manager, which does
// not exist under Wine.
#include "SearchTestSupport.h"

#include "detection/MsixFinder.h"
#include "detection/SearchKinds.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvanta;

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

// Lists the packages in order and counts how many were handed out.
struct FakeListing {
    std::vector<PackageIdentity> packages;
    std::shared_ptr<size_t> visited = std::make_shared<size_t>(0);

    PackageListing AsListing() const
    {
        const std::vector<PackageIdentity> list = packages;
        const std::shared_ptr<size_t> count = visited;
        return [list, count](const PackageVisitor& visit) {
            for (const PackageIdentity& package : list) {
                ++*count;
                if (!visit(package))
                    return;
            }
        };
    }
};

FakeListing StandardListing()
{
    FakeListing listing;
    listing.packages = {
        Package(L"Contoso.Tool", L"CN=Contoso", 11, {1, 0, 0, 0}),
        Package(L"Contoso.Tool", L"CN=Contoso", 9, {2, 3, 4, 5}),
        Package(L"Contoso.Tool", L"CN=Other", 0, {3, 0, 0, 0}),
        Package(L"Fabrikam.App", L"CN=Fabrikam", 12, {4, 1, 0, 0}),
    };
    return listing;
}

// Installs a fake listing for MsixFinder::Find and removes it again.
class ListingOverride {
public:
    explicit ListingOverride(PackageListing listing) { MsixFinder::SetListingForTesting(std::move(listing)); }
    ~ListingOverride() { MsixFinder::SetListingForTesting(nullptr); }
};

TEST(MsixMatchingTest, EmptyPublisherAndArchitectureMatchTheFirstPackageOfThatName)
{
    FakeListing listing = StandardListing();
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Contoso.Tool", L"", L""), L"1.0.0.0");
    EXPECT_EQ(*listing.visited, 1u);
}

TEST(MsixMatchingTest, ArchitectureMustMatchItsTextExactly)
{
    const FakeListing listing = StandardListing();
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Contoso.Tool", L"", L"x64"), L"2.3.4.5");
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Contoso.Tool", L"", L"x86"), L"3.0.0.0");
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Contoso.Tool", L"", L"X64"), L"");
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Fabrikam.App", L"", L"x64"), L"");
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Fabrikam.App", L"", L"arm64"), L"4.1.0.0");
}

TEST(MsixMatchingTest, PublisherAndNameCompareCaseSensitively)
{
    const FakeListing listing = StandardListing();
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Contoso.Tool", L"CN=Other", L""), L"3.0.0.0");
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Contoso.Tool", L"cn=other", L""), L"");
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"contoso.tool", L"", L""), L"");
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Contoso", L"", L""), L"");
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"", L"", L""), L"");
}

TEST(MsixMatchingTest, ListingThatEndsEarlyGivesWhatWasFoundSoFar)
{
    FakeListing listing = StandardListing();
    listing.packages.resize(1);
    EXPECT_EQ(FindPackageVersion(listing.AsListing(), L"Fabrikam.App", L"", L""), L"");
    EXPECT_EQ(FindPackageVersion(PackageListing(), L"Contoso.Tool", L"", L""), L"");
}

TEST(MsixFinderTest, FindRunsTheListingOnItsOwnThread)
{
    const DWORD caller = ::GetCurrentThreadId();
    auto listingThread = std::make_shared<DWORD>(caller);
    const FakeListing packages = StandardListing();
    const PackageListing inner = packages.AsListing();
    const ListingOverride fake([listingThread, inner](const PackageVisitor& visit) {
        *listingThread = ::GetCurrentThreadId();
        inner(visit);
    });
    EXPECT_EQ(MsixFinder::Find(L"Contoso.Tool", L"CN=Contoso", L"x64"), L"2.3.4.5");
    EXPECT_NE(*listingThread, caller);
}

TEST(MsixFinderTest, RealPackageManagerIsMissingUnderWineAndFindsNothing)
{
    // Wine has no Windows.Management.Deployment.PackageManager (class not registered).
    EXPECT_EQ(MsixFinder::Find(L"Microsoft.WindowsCalculator", L"", L""), L"");
}

TEST(AppxSearchTest, FieldsAreNameArchitecturePublisherTrimmed)
{
    const ListingOverride fake(StandardListing().AsListing());
    SearchFinding finding;
    SearchAppxPackage(L"  Contoso.Tool ? x86 ?\tCN=Other ", true, finding);
    EXPECT_EQ(finding.versions, std::vector<std::wstring>{L"3.0.0.0"});

    finding = SearchFinding();
    SearchAppxPackage(L"Contoso.Tool?x64", true, finding);
    EXPECT_EQ(finding.versions, std::vector<std::wstring>{L"2.3.4.5"});

    finding = SearchFinding();
    SearchAppxPackage(L"Contoso.Tool??CN=Contoso", true, finding);
    EXPECT_EQ(finding.versions, std::vector<std::wstring>{L"1.0.0.0"});

    finding = SearchFinding();
    SearchAppxPackage(L"Contoso.Tool?arm", true, finding);
    EXPECT_TRUE(finding.versions.empty());
}

TEST(AppxSearchTest, NothingIsLookedUpBeforeWindows10)
{
    FakeListing listing = StandardListing();
    const ListingOverride fake(listing.AsListing());
    SearchFinding finding;
    SearchAppxPackage(L"Contoso.Tool", false, finding);
    EXPECT_TRUE(finding.versions.empty());
    EXPECT_EQ(*listing.visited, 0u);
}

TEST(AppxSearchTest, RangeTestAppliesToThePackageVersion)
{
    const ListingOverride fake(StandardListing().AsListing());
    SearchFinding finding;
    SearchAppxPackage(L"Fabrikam.App", true, finding);
    using search_tests::Search;
    EXPECT_TRUE(SearchAnswer(Search(SearchType::AppxPackageVersion, L"Fabrikam.App", L"4.1"), finding));
    EXPECT_FALSE(SearchAnswer(Search(SearchType::AppxPackageVersion, L"Fabrikam.App", L"4.1.0.1"), finding));
}

} // namespace
