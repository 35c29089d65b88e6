// Registry searches and reading values as text, on keys written into the test prefix.
#include "SearchTestSupport.h"

#include "detection/RegistryRead.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvanta;
using search_tests::RegistryScope;
using search_tests::Find;
using search_tests::Search;

namespace {

bool ReadText(const RegistryScope& scope, const std::wstring& name, std::wstring& text)
{
    const UniqueKey key = OpenRegistryPath(scope.SearchPath(), false);
    return key && ReadRegistryValueText(key.Get(), name, text);
}

class RegistryReadTest : public ::testing::Test {
protected:
    RegistryScope scope_{HKEY_CURRENT_USER, L"RegistryRead"};
};

TEST_F(RegistryReadTest, TextTypesReadWithoutTrailingZeros)
{
    ASSERT_TRUE(scope_.SetString(L"", L"Plain", L"4.5.6"));
    ASSERT_TRUE(scope_.SetString(L"", L"Expand", L"%SystemRoot%\\x", 0, REG_EXPAND_SZ));
    const wchar_t multi[] = L"one\0two\0";
    ASSERT_TRUE(scope_.SetRaw(L"", L"Multi", REG_MULTI_SZ, multi, sizeof(multi), 0));
    std::wstring text;
    ASSERT_TRUE(ReadText(scope_, L"Plain", text));
    EXPECT_EQ(text, L"4.5.6");
    ASSERT_TRUE(ReadText(scope_, L"Expand", text));
    EXPECT_EQ(text, L"%SystemRoot%\\x");
    ASSERT_TRUE(ReadText(scope_, L"Multi", text));
    EXPECT_EQ(text, std::wstring(L"one\0two", 7));
}

TEST_F(RegistryReadTest, DwordReadsAsUnsignedDecimal)
{
    ASSERT_TRUE(scope_.SetDword(L"", L"Small", 1));
    ASSERT_TRUE(scope_.SetDword(L"", L"Large", 0xFFFFFFFFu));
    std::wstring text;
    ASSERT_TRUE(ReadText(scope_, L"Small", text));
    EXPECT_EQ(text, L"1");
    ASSERT_TRUE(ReadText(scope_, L"Large", text));
    EXPECT_EQ(text, L"4294967295");
}

TEST_F(RegistryReadTest, OtherTypesAndMissingValuesFail)
{
    const unsigned char binary[] = {1, 2, 3, 4};
    const unsigned long long quad = 7;
    ASSERT_TRUE(scope_.SetRaw(L"", L"Binary", REG_BINARY, binary, sizeof(binary), 0));
    ASSERT_TRUE(scope_.SetRaw(L"", L"Quad", REG_QWORD, &quad, sizeof(quad), 0));
    ASSERT_TRUE(scope_.SetRaw(L"", L"ShortDword", REG_DWORD, binary, 2, 0));
    std::wstring text = L"unchanged";
    EXPECT_FALSE(ReadText(scope_, L"Binary", text));
    EXPECT_FALSE(ReadText(scope_, L"Quad", text));
    EXPECT_FALSE(ReadText(scope_, L"ShortDword", text));
    EXPECT_FALSE(ReadText(scope_, L"Missing", text));
    EXPECT_EQ(text, L"unchanged");
}

TEST_F(RegistryReadTest, LongValuesGrowTheBufferBeyond200Bytes)
{
    // 99 characters and the terminator fill the first 200 bytes exactly; 100 need a second read.
    for (size_t length : {size_t(99), size_t(100), size_t(101), size_t(5000)}) {
        std::wstring value(length, L'v');
        value[length - 1] = L'!';
        ASSERT_TRUE(scope_.SetString(L"", L"Long", value));
        std::wstring text;
        ASSERT_TRUE(ReadText(scope_, L"Long", text)) << length;
        EXPECT_EQ(text, value) << length;
    }
}

TEST_F(RegistryReadTest, RegistryPathWithoutKeyPathOpensNothing)
{
    EXPECT_FALSE(OpenRegistryPath(L"HKCU", false));
    EXPECT_FALSE(OpenRegistryPath(L"HKCU\\", false));
    EXPECT_FALSE(OpenRegistryPath(L"", false));
    EXPECT_TRUE(OpenRegistryPath(L"hkcu\\Software", false));
    EXPECT_EQ(ReadRegistryReference(L"HKCU", false), L"");
}

class RegistrySearchTest : public ::testing::Test {
protected:
    RegistryScope user_{HKEY_CURRENT_USER, L"RegistrySearch"};
};

TEST_F(RegistrySearchTest, KeyExistsAndAbsentAnswerOppositely)
{
    ASSERT_TRUE(user_.CreateKey(L"Here"));
    EXPECT_TRUE(Find(SearchType::RegistryKeyExists, user_.SearchPath(L"Here")).found);
    EXPECT_FALSE(Find(SearchType::RegistryKeyAbsent, user_.SearchPath(L"Here")).found);
    EXPECT_FALSE(Find(SearchType::RegistryKeyExists, user_.SearchPath(L"Gone")).found);
    EXPECT_TRUE(Find(SearchType::RegistryKeyAbsent, user_.SearchPath(L"Gone")).found);
}

TEST_F(RegistrySearchTest, RootNamesIgnoreCaseAndUnknownRootsOpenBelowUsers)
{
    EXPECT_TRUE(Find(SearchType::RegistryKeyExists, L"HKU\\.DEFAULT").found);
    EXPECT_TRUE(Find(SearchType::RegistryKeyExists, L"HKEY_USRES\\.DEFAULT").found);
    EXPECT_TRUE(Find(SearchType::RegistryKeyExists, L"hkey_local_machine\\Software").found);
    EXPECT_TRUE(Find(SearchType::RegistryKeyExists, L"HkCr\\CLSID").found);
    EXPECT_FALSE(Find(SearchType::RegistryKeyExists, L"HKU\\No such user key").found);
}

TEST_F(RegistrySearchTest, PathWithoutBackslashNamesNoKeyAndNoValue)
{
    EXPECT_FALSE(Find(SearchType::RegistryKeyExists, L"HKCU").found);
    EXPECT_TRUE(Find(SearchType::RegistryKeyAbsent, L"HKCU").found);
    EXPECT_FALSE(Find(SearchType::RegistryValueExists, L"HKCU").found);
    EXPECT_TRUE(Find(SearchType::RegistryValueAbsent, L"HKCU").found);
    EXPECT_FALSE(Find(SearchType::RegistryValueContent, L"HKCU").found);
    EXPECT_TRUE(Find(SearchType::RegistryKeyNames, L"HKCU").versions.empty());
    EXPECT_TRUE(Find(SearchType::RegistryValueVersion, L"HKCU").versions.empty());
    const SearchFinding names = Find(SearchType::RegistryValueNames, L"HKCU");
    EXPECT_TRUE(names.versions.empty());
    EXPECT_FALSE(names.found);
    EXPECT_TRUE(Find(SearchType::RegistryKeyAbsent, L"").found);
}

TEST_F(RegistrySearchTest, ValueExistenceSplitsAtTheLastBackslash)
{
    ASSERT_TRUE(user_.SetString(L"Sub", L"Name", L"x"));
    ASSERT_TRUE(user_.SetString(L"Sub", L"", L"default"));
    ASSERT_TRUE(user_.CreateKey(L"NoDefault"));
    EXPECT_TRUE(Find(SearchType::RegistryValueExists, user_.SearchPath(L"Sub\\Name")).found);
    EXPECT_FALSE(Find(SearchType::RegistryValueAbsent, user_.SearchPath(L"Sub\\Name")).found);
    EXPECT_TRUE(Find(SearchType::RegistryValueExists, user_.SearchPath(L"Sub\\")).found);
    EXPECT_FALSE(Find(SearchType::RegistryValueExists, user_.SearchPath(L"NoDefault\\")).found);
    EXPECT_FALSE(Find(SearchType::RegistryValueExists, user_.SearchPath(L"Sub\\Other")).found);
    EXPECT_TRUE(Find(SearchType::RegistryValueAbsent, user_.SearchPath(L"Sub\\Other")).found);
}

TEST_F(RegistrySearchTest, ValueAbsentOnMissingKeyHolds)
{
    std::vector<SearchFinding> findings;
    EXPECT_TRUE(EvaluateSearches({Search(SearchType::RegistryValueAbsent, user_.SearchPath(L"NoKey\\Value"))},
                                 findings, 0, false, nullptr));
}

TEST_F(RegistrySearchTest, ValueVersionReadsTextUpToItsFirstZero)
{
    ASSERT_TRUE(user_.SetString(L"Ver", L"Version", L"4.5.6"));
    ASSERT_TRUE(user_.SetString(L"Ver", L"", L"7.1"));
    const wchar_t embedded[] = L"8.2\0junk";
    ASSERT_TRUE(user_.SetRaw(L"Ver", L"Embedded", REG_SZ, embedded, sizeof(embedded), 0));
    const wchar_t unterminated[] = {L'9', L'.', L'3'};
    ASSERT_TRUE(user_.SetRaw(L"Ver", L"Unterminated", REG_SZ, unterminated, sizeof(unterminated), 0));
    EXPECT_EQ(Find(SearchType::RegistryValueVersion, user_.SearchPath(L"Ver\\Version")).versions,
              std::vector<std::wstring>{L"4.5.6"});
    EXPECT_EQ(Find(SearchType::RegistryValueVersion, user_.SearchPath(L"Ver\\")).versions,
              std::vector<std::wstring>{L"7.1"});
    EXPECT_EQ(Find(SearchType::RegistryValueVersion, user_.SearchPath(L"Ver\\Embedded")).versions,
              std::vector<std::wstring>{L"8.2"});
    EXPECT_EQ(Find(SearchType::RegistryValueVersion, user_.SearchPath(L"Ver\\Unterminated")).versions,
              std::vector<std::wstring>{L"9.3"});
    EXPECT_TRUE(Find(SearchType::RegistryValueVersion, user_.SearchPath(L"Ver\\Missing")).versions.empty());

    std::vector<SearchFinding> findings;
    EXPECT_TRUE(EvaluateSearches({Search(SearchType::RegistryValueVersion, user_.SearchPath(L"Ver\\Version"), L"4.5",
                                         L"4.6")},
                                 findings, 0, false, nullptr));
    EXPECT_FALSE(EvaluateSearches({Search(SearchType::RegistryValueVersion, user_.SearchPath(L"Ver\\Version"), L"5")},
                                  findings, 0, false, nullptr));
}

TEST_F(RegistrySearchTest, KeyNamesListEverySubkey)
{
    for (const wchar_t* name : {L"1.0", L"2.5.3", L"Beta"})
        ASSERT_TRUE(user_.CreateKey(std::wstring(L"Versions\\") + name));
    std::vector<std::wstring> names = Find(SearchType::RegistryKeyNames, user_.SearchPath(L"Versions")).versions;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"1.0", L"2.5.3", L"Beta"}));

    std::vector<SearchFinding> findings;
    EXPECT_TRUE(EvaluateSearches({Search(SearchType::RegistryKeyNames, user_.SearchPath(L"Versions"), L"2.5")},
                                 findings, 0, false, nullptr));
    EXPECT_FALSE(EvaluateSearches({Search(SearchType::RegistryKeyNames, user_.SearchPath(L"Versions"), L"3")},
                                  findings, 0, false, nullptr));
}

TEST_F(RegistrySearchTest, ContentOfDwordOneMatchesEqualAndGreaterReferences)
{
    ASSERT_TRUE(user_.SetDword(L"Content", L"Installed", 1));
    ASSERT_TRUE(user_.SetString(L"Content", L"Edition", L"Professional"));
    const SearchFinding finding = Find(SearchType::RegistryValueContent, user_.SearchPath(L"Content\\Installed"));
    EXPECT_TRUE(finding.found);
    EXPECT_EQ(finding.value, L"1");

    const std::wstring installed = user_.SearchPath(L"Content\\Installed");
    const std::wstring edition = user_.SearchPath(L"Content\\Edition");
    std::vector<SearchFinding> findings;
    EXPECT_TRUE(EvaluateSearches({Search(SearchType::RegistryValueContent, installed, L"", L"", L"M1")}, findings, 0,
                                 false, nullptr));
    EXPECT_TRUE(EvaluateSearches({Search(SearchType::RegistryValueContent, installed, L"", L"", L"G0")}, findings, 0,
                                 false, nullptr));
    EXPECT_FALSE(EvaluateSearches({Search(SearchType::RegistryValueContent, installed, L"", L"", L"L1")}, findings, 0,
                                  false, nullptr));
    EXPECT_TRUE(EvaluateSearches({Search(SearchType::RegistryValueContent, edition, L"", L"", L"SPro")}, findings, 0,
                                 false, nullptr));
    EXPECT_FALSE(EvaluateSearches({Search(SearchType::RegistryValueContent, edition, L"", L"", L"Mprofessional")},
                                  findings, 0, false, nullptr));
    EXPECT_FALSE(EvaluateSearches({Search(SearchType::RegistryValueContent, user_.SearchPath(L"Content\\Missing"), L"",
                                          L"", L"Xanything")},
                                  findings, 0, false, nullptr));
}

TEST_F(RegistrySearchTest, ValueNamesListEveryValueIncludingTheLongestName)
{
    const std::wstring longest(16383, L'n');
    ASSERT_TRUE(user_.SetString(L"Names", L"2.0", L"a"));
    ASSERT_TRUE(user_.SetString(L"Names", longest, L"b"));
    const SearchFinding finding = Find(SearchType::RegistryValueNames, user_.SearchPath(L"Names"));
    EXPECT_TRUE(finding.found);
    ASSERT_EQ(finding.versions.size(), 2u);
    EXPECT_NE(std::find(finding.versions.begin(), finding.versions.end(), L"2.0"), finding.versions.end());
    EXPECT_NE(std::find(finding.versions.begin(), finding.versions.end(), longest), finding.versions.end());

    EXPECT_TRUE(Find(SearchType::RegistryValueExists, user_.SearchPath(L"Names\\" + longest)).found);
    const SearchFinding content = Find(SearchType::RegistryValueContent, user_.SearchPath(L"Names\\" + longest));
    EXPECT_TRUE(content.found);
    EXPECT_EQ(content.value, L"b");
}

TEST_F(RegistrySearchTest, OverlongValueNamesAreSimplyNotFound)
{
    ASSERT_TRUE(user_.CreateKey(L"Empty"));
    const std::wstring tooLong(40000, L'q');
    EXPECT_FALSE(Find(SearchType::RegistryValueExists, user_.SearchPath(L"Empty\\" + tooLong)).found);
    EXPECT_TRUE(Find(SearchType::RegistryValueAbsent, user_.SearchPath(L"Empty\\" + tooLong)).found);
    EXPECT_FALSE(Find(SearchType::RegistryValueContent, user_.SearchPath(L"Empty\\" + tooLong)).found);
    EXPECT_TRUE(Find(SearchType::RegistryValueVersion, user_.SearchPath(L"Empty\\" + tooLong)).versions.empty());
    EXPECT_FALSE(Find(SearchType::RegistryKeyExists, user_.SearchPath(tooLong)).found);
}

TEST_F(RegistrySearchTest, EmptyKeyHasNoValueNamesButIsFound)
{
    ASSERT_TRUE(user_.CreateKey(L"Bare"));
    const SearchFinding finding = Find(SearchType::RegistryValueNames, user_.SearchPath(L"Bare"));
    EXPECT_TRUE(finding.found);
    EXPECT_TRUE(finding.versions.empty());
    EXPECT_FALSE(Find(SearchType::RegistryValueNames, user_.SearchPath(L"NotThere")).found);
}

class RegistryViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(machine_.SetString(L"", L"Version", L"64.0", KEY_WOW64_64KEY));
        ASSERT_TRUE(machine_.SetString(L"", L"Version", L"32.0", KEY_WOW64_32KEY));
        ASSERT_TRUE(machine_.SetString(L"", L"Only32", L"yes", KEY_WOW64_32KEY));
    }
    RegistryScope machine_{HKEY_LOCAL_MACHINE, L"RegistryView"};
};

TEST_F(RegistryViewTest, SixtyFourBitFlagReadsTheSixtyFourBitView)
{
    const SearchFinding finding = Find(SearchType::RegistryValueVersion, machine_.SearchPath(L"Version"), true);
    EXPECT_EQ(finding.versions, std::vector<std::wstring>{L"64.0"});
    EXPECT_FALSE(Find(SearchType::RegistryValueExists, machine_.SearchPath(L"Only32"), true).found);
    const SearchFinding names = Find(SearchType::RegistryValueNames, machine_.SearchPath(), true);
    EXPECT_EQ(names.versions, std::vector<std::wstring>{L"Version"});
}

TEST_F(RegistryViewTest, ThirtyTwoBitViewHoldsItsOwnValues)
{
    const UniqueKey key = OpenRegistryKey(machine_.SearchPath(), KEY_READ | KEY_WOW64_32KEY);
    ASSERT_TRUE(key);
    std::wstring text;
    ASSERT_TRUE(ReadRegistryValueText(key.Get(), L"Version", text));
    EXPECT_EQ(text, L"32.0");
    EXPECT_TRUE(ReadRegistryValueText(key.Get(), L"Only32", text));
#if !defined(_WIN64)
    // A 32-bit chainer without the 64-bit flag sees the 32-bit view.
    EXPECT_EQ(Find(SearchType::RegistryValueVersion, machine_.SearchPath(L"Version"), false).versions,
              std::vector<std::wstring>{L"32.0"});
#endif
}

} // namespace
