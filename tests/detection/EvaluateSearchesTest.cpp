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

TEST_F(EvaluateSearchesTest, OperatorsStopAtTheDecidingSearchAndUnknownTypesHoldWithoutLooking)
{
    // 0: all must hold; 1: one suffices; any other: every search runs and the answer is false.
    const struct {
        int op;
        std::string searches;  // P present, M missing
        bool answer;
        std::string found;  // one letter per finding kept
    } cases[] = {
        {0, "MP", false, "F"},    {0, "PP", true, "TT"},     {0, "", true, ""},       {1, "PM", true, "T"},
        {1, "MMP", true, "FFT"},  {1, "MM", false, "FF"},    {1, "", false, ""},      {2, "PMP", false, "TFT"},
        {-1, "P", false, "T"},    {7, "", false, ""},
    };
    std::vector<SearchFinding> findings(3);  // stale findings are replaced
    for (const auto& c : cases) {
        std::vector<PrereqSearch> searches;
        for (const char letter : c.searches)
            searches.push_back(letter == 'P' ? Present() : Missing());
        EXPECT_EQ(EvaluateSearches(searches, findings, c.op, false, nullptr), c.answer) << c.op << c.searches;
        std::string found;
        for (const SearchFinding& finding : findings)
            found += finding.found ? 'T' : 'F';
        EXPECT_EQ(found, c.found) << c.op << c.searches;
    }

    // An unknown search type always holds and looks at nothing.
    PrereqSearch unknown = Search(static_cast<SearchType>(99), scope_.SearchPath(L"Missing"));
    EXPECT_TRUE(EvaluateSearches({unknown, Present()}, findings, 0, false, nullptr));
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_TRUE(findings[0].versions.empty());
    EXPECT_FALSE(findings[0].found);
}

TEST(SearchAnswerTest, VersionSearchesUseTheRangeTestContentSearchesNeedTheValueRead)
{
    SearchFinding finding;
    finding.versions = {L"1.5", L"2.7"};
    EXPECT_TRUE(SearchAnswer(Search(SearchType::RegistryKeyNames, L"", L"2.0", L"3.0"), finding));
    EXPECT_FALSE(SearchAnswer(Search(SearchType::AppxPackageVersion, L"", L"3.0"), finding));
    // Found, but without a version: a version search does not hold.
    finding.versions.clear();
    finding.found = true;
    EXPECT_FALSE(SearchAnswer(Search(SearchType::MsiProductVersion, L""), finding));

    const PrereqSearch notContaining = Search(SearchType::RegistryValueContent, L"", L"", L"", L"Xabc");
    finding.found = false;
    // "X" holds for an empty text that does not contain the reference, but nothing was read.
    EXPECT_FALSE(SearchAnswer(notContaining, finding));
    finding.found = true;
    EXPECT_TRUE(SearchAnswer(notContaining, finding));
    finding.value = L"xxabcxx";
    EXPECT_FALSE(SearchAnswer(notContaining, finding));
    EXPECT_TRUE(SearchAnswer(Search(SearchType::RegistryValueContent, L"", L"", L"", L"Cabc"), finding));
}

} // namespace
