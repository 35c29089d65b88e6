// How findings of several searches combine, and the answer each kind of finding gives.
#include "SearchTestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using search_tests::RegistryScope;
using search_tests::Search;

namespace {

class EvaluateSearchesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scope_.CreateKey(L"Present")); }

    PrereqSearch Present() const { return Search(SearchType::RegistryKeyExists, scope_.SearchPath(L"Present")); }
    PrereqSearch Missing() const { return Search(SearchType::RegistryKeyExists, scope_.SearchPath(L"Missing")); }

    RegistryScope scope_{HKEY_CURRENT_USER, L"Evaluate"};
};

TEST_F(EvaluateSearchesTest, AllMustHoldStopsAtTheFirstFalseSearch)
{
    std::vector<SearchFinding> findings(3);
    EXPECT_FALSE(EvaluateSearches({Missing(), Present()}, findings, 0, false, nullptr));
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_FALSE(findings[0].found);

    EXPECT_TRUE(EvaluateSearches({Present(), Present()}, findings, 0, false, nullptr));
    EXPECT_EQ(findings.size(), 2u);
    EXPECT_TRUE(EvaluateSearches({}, findings, 0, false, nullptr));
    EXPECT_TRUE(findings.empty());
}

TEST_F(EvaluateSearchesTest, OneSufficesStopsAtTheFirstTrueSearch)
{
    std::vector<SearchFinding> findings;
    EXPECT_TRUE(EvaluateSearches({Present(), Missing()}, findings, 1, false, nullptr));
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_TRUE(findings[0].found);

    EXPECT_TRUE(EvaluateSearches({Missing(), Missing(), Present()}, findings, 1, false, nullptr));
    EXPECT_EQ(findings.size(), 3u);
    EXPECT_FALSE(EvaluateSearches({Missing(), Missing()}, findings, 1, false, nullptr));
    EXPECT_FALSE(EvaluateSearches({}, findings, 1, false, nullptr));
}

TEST_F(EvaluateSearchesTest, OtherOperatorRunsEverySearchAndNeverHolds)
{
    std::vector<SearchFinding> findings;
    EXPECT_FALSE(EvaluateSearches({Present(), Missing(), Present()}, findings, 2, false, nullptr));
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_TRUE(findings[0].found);
    EXPECT_FALSE(findings[1].found);
    EXPECT_TRUE(findings[2].found);
    EXPECT_FALSE(EvaluateSearches({Present()}, findings, -1, false, nullptr));
    EXPECT_FALSE(EvaluateSearches({}, findings, 7, false, nullptr));
}

TEST_F(EvaluateSearchesTest, UnknownSearchTypeAlwaysHoldsAndLooksAtNothing)
{
    std::vector<SearchFinding> findings;
    PrereqSearch unknown = Search(static_cast<SearchType>(99), scope_.SearchPath(L"Missing"));
    EXPECT_TRUE(EvaluateSearches({unknown, Present()}, findings, 0, false, nullptr));
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_TRUE(findings[0].versions.empty());
    EXPECT_FALSE(findings[0].found);
}

TEST(SearchAnswerTest, VersionSearchesUseTheRangeTest)
{
    SearchFinding finding;
    finding.versions = {L"1.5", L"2.7"};
    EXPECT_TRUE(SearchAnswer(Search(SearchType::RegistryKeyNames, L"", L"2.0", L"3.0"), finding));
    EXPECT_FALSE(SearchAnswer(Search(SearchType::AppxPackageVersion, L"", L"3.0"), finding));
    // Found, but without a version: a version search does not hold.
    finding.versions.clear();
    finding.found = true;
    EXPECT_FALSE(SearchAnswer(Search(SearchType::MsiProductVersion, L""), finding));
}

TEST(SearchAnswerTest, ContentSearchNeedsTheValueToBeRead)
{
    const PrereqSearch notContaining = Search(SearchType::RegistryValueContent, L"", L"", L"", L"Xabc");
    SearchFinding finding;
    // "X" holds for an empty text that does not contain the reference, but nothing was read.
    EXPECT_FALSE(SearchAnswer(notContaining, finding));
    finding.found = true;
    EXPECT_TRUE(SearchAnswer(notContaining, finding));
    finding.value = L"xxabcxx";
    EXPECT_FALSE(SearchAnswer(notContaining, finding));
    EXPECT_TRUE(SearchAnswer(Search(SearchType::RegistryValueContent, L"", L"", L"", L"Cabc"), finding));
}

} // namespace
