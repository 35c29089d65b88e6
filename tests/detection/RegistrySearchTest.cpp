// Registry searches and reading values as text, on keys written into the test prefix.
#include "SearchTestSupport.h"

#include "platform/RegistryRead.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvanta;
using search_tests::Find;
using search_tests::Holds;
using search_tests::RegistryScope;
using search_tests::Search;
using search_tests::Versions;

namespace {

class RegistryReadTest : public ::testing::Test {
protected:
    bool ReadText(const std::wstring& name, std::wstring& text) const
    {
        const UniqueKey key = OpenRegistryPath(scope_.SearchPath(), false);
        return key && ReadRegistryValueText(key.Get(), name, text);
    }

    RegistryScope scope_{HKEY_CURRENT_USER, L"RegistryRead"};
};

TEST_F(RegistryReadTest, TextTypesOfAnyLengthAndDwordsReadAsTextOtherTypesAndMissingValuesFail)
{
    ASSERT_TRUE(scope_.SetString(L"", L"Expand", L"%SystemRoot%\\x", 0, REG_EXPAND_SZ));
    const wchar_t multi[] = L"one\0two\0";
    ASSERT_TRUE(scope_.SetRaw(L"", L"Multi", REG_MULTI_SZ, multi, sizeof(multi)));
    ASSERT_TRUE(scope_.SetDword(L"", L"Large", 0xFFFFFFFFu));
    std::vector<std::pair<std::wstring, std::wstring>> texts = {
        {L"Expand", L"%SystemRoot%\\x"}, {L"Multi", std::wstring(L"one\0two", 7)}, {L"Large", L"4294967295"}};
    // 99 characters and the terminator fill the first 200 bytes exactly; 100 need a second read.
    for (size_t length : {size_t(99), size_t(100), size_t(5000)}) {
        texts.emplace_back(L"Long" + std::to_wstring(length), std::wstring(length - 1, L'v') + L"!");
        ASSERT_TRUE(scope_.SetString(L"", texts.back().first, texts.back().second));
    }
    for (const auto& [name, expected] : texts) {
        std::wstring text;
        EXPECT_TRUE(ReadText(name, text)) << name;
        EXPECT_EQ(text, expected) << name;
    }

    const unsigned char binary[] = {1, 2, 3, 4};
    const unsigned long long quad = 7;
    ASSERT_TRUE(scope_.SetRaw(L"", L"Binary", REG_BINARY, binary, sizeof(binary)));
    ASSERT_TRUE(scope_.SetRaw(L"", L"Quad", REG_QWORD, &quad, sizeof(quad)));
    ASSERT_TRUE(scope_.SetRaw(L"", L"ShortDword", REG_DWORD, binary, 2));
    std::wstring text = L"unchanged";
    for (const wchar_t* name : {L"Binary", L"Quad", L"ShortDword", L"Missing"})
        EXPECT_FALSE(ReadText(name, text)) << name;
    EXPECT_EQ(text, L"unchanged");
}

class RegistrySearchTest : public ::testing::Test {
protected:
    RegistryScope user_{HKEY_CURRENT_USER, L"RegistrySearch"};
};

TEST_F(RegistrySearchTest, ExistenceAndAbsenceSearches)
{
    ASSERT_TRUE(user_.CreateKey(L"Here") && user_.CreateKey(L"NoDefault") && user_.CreateKey(L"Empty"));
    ASSERT_TRUE(user_.SetString(L"Sub", L"Name", L"x") && user_.SetString(L"Sub", L"", L"default"));
    const std::wstring tooLong(40000, L'q');
    using T = SearchType;
    const struct {
        SearchType type;
        std::wstring path;
        bool found;
    } cases[] = {
        {T::RegistryKeyExists, user_.SearchPath(L"Here"), true},
        {T::RegistryKeyAbsent, user_.SearchPath(L"Here"), false},
        {T::RegistryKeyExists, user_.SearchPath(L"Gone"), false},
        {T::RegistryKeyAbsent, user_.SearchPath(L"Gone"), true},
        // Root names ignore case; an unknown root opens below HKEY_USERS.
        {T::RegistryKeyExists, L"HKEY_USRES\\.DEFAULT", true},
        {T::RegistryKeyExists, L"hkey_local_machine\\Software", true},
        {T::RegistryKeyExists, L"HkCr\\CLSID", true},
        {T::RegistryKeyExists, L"HKU\\No such user key", false},
        // The value's name follows the last backslash; none after it names the default value.
        {T::RegistryValueExists, user_.SearchPath(L"Sub\\Name"), true},
        {T::RegistryValueAbsent, user_.SearchPath(L"Sub\\Name"), false},
        {T::RegistryValueExists, user_.SearchPath(L"Sub\\"), true},
        {T::RegistryValueExists, user_.SearchPath(L"NoDefault\\"), false},
        {T::RegistryValueAbsent, user_.SearchPath(L"Sub\\Other"), true},
        // Without a backslash the path names no key and no value.
        {T::RegistryKeyExists, L"HKCU", false},
        {T::RegistryKeyAbsent, L"HKCU", true},
        {T::RegistryValueAbsent, L"HKCU", true},
        {T::RegistryValueContent, L"HKCU", false},
        {T::RegistryValueNames, L"HKCU", false},
        {T::RegistryKeyAbsent, L"", true},
        // Overlong names are simply not found.
        {T::RegistryValueExists, user_.SearchPath(L"Empty\\" + tooLong), false},
        {T::RegistryValueAbsent, user_.SearchPath(L"Empty\\" + tooLong), true},
        {T::RegistryValueContent, user_.SearchPath(L"Empty\\" + tooLong), false},
        {T::RegistryKeyExists, user_.SearchPath(tooLong), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Find(c.type, c.path).found, c.found) << static_cast<int>(c.type) << " " << c.path.substr(0, 80);
    EXPECT_FALSE(OpenRegistryPath(L"HKCU\\", false));
    EXPECT_FALSE(OpenRegistryPath(L"", false));
    EXPECT_EQ(ReadRegistryReference(L"HKCU", false), L"");
    EXPECT_TRUE(Find(T::RegistryValueVersion, L"HKCU").versions.empty());
    EXPECT_TRUE(Holds(Search(T::RegistryValueAbsent, user_.SearchPath(L"NoKey\\Value"))));
}

TEST_F(RegistrySearchTest, ValueVersionReadsTextUpToItsFirstZero)
{
    ASSERT_TRUE(user_.SetString(L"Ver", L"Version", L"4.5.6"));
    ASSERT_TRUE(user_.SetString(L"Ver", L"", L"7.1"));
    const wchar_t embedded[] = L"8.2\0junk";
    ASSERT_TRUE(user_.SetRaw(L"Ver", L"Embedded", REG_SZ, embedded, sizeof(embedded)));
    const wchar_t unterminated[] = {L'9', L'.', L'3'};
    ASSERT_TRUE(user_.SetRaw(L"Ver", L"Unterminated", REG_SZ, unterminated, sizeof(unterminated)));
    const std::pair<const wchar_t*, Versions> cases[] = {
        {L"Ver\\Version", {L"4.5.6"}}, {L"Ver\\", {L"7.1"}},           {L"Ver\\Embedded", {L"8.2"}},
        {L"Ver\\Unterminated", {L"9.3"}}, {L"Ver\\Missing", Versions()},
    };
    for (const auto& [path, versions] : cases)
        EXPECT_EQ(Find(SearchType::RegistryValueVersion, user_.SearchPath(path)).versions, versions) << path;
}

TEST_F(RegistrySearchTest, ContentOfDwordOneMatchesEqualAndGreaterReferences)
{
    ASSERT_TRUE(user_.SetDword(L"Content", L"Installed", 1));
    ASSERT_TRUE(user_.SetString(L"Content", L"Edition", L"Professional"));
    const std::wstring installed = user_.SearchPath(L"Content\\Installed");
    const std::wstring edition = user_.SearchPath(L"Content\\Edition");
    EXPECT_EQ(Find(SearchType::RegistryValueContent, installed).value, L"1");
    const auto content = [](const std::wstring& path, const wchar_t* reference) {
        return Holds(Search(SearchType::RegistryValueContent, path, L"", L"", reference));
    };
    EXPECT_TRUE(content(installed, L"M1"));
    EXPECT_TRUE(content(installed, L"G0"));
    EXPECT_FALSE(content(installed, L"L1"));
    EXPECT_TRUE(content(edition, L"SPro"));
    EXPECT_FALSE(content(edition, L"Mprofessional"));
    EXPECT_FALSE(content(user_.SearchPath(L"Content\\Missing"), L"Xanything"));
}

TEST_F(RegistrySearchTest, ValueAndKeyNamesListEveryValueAndSubkeyIncludingTheLongestName)
{
    const std::wstring longest(16383, L'n');
    ASSERT_TRUE(user_.SetString(L"Names", L"2.0", L"a"));
    ASSERT_TRUE(user_.SetString(L"Names", longest, L"b"));
    ASSERT_TRUE(user_.CreateKey(L"Bare"));
    SearchFinding finding = Find(SearchType::RegistryValueNames, user_.SearchPath(L"Names"));
    EXPECT_TRUE(finding.found);
    std::sort(finding.versions.begin(), finding.versions.end());
    EXPECT_EQ(finding.versions, (Versions{L"2.0", longest}));
    EXPECT_EQ(Find(SearchType::RegistryValueContent, user_.SearchPath(L"Names\\" + longest)).value, L"b");

    // An empty key is found, with no names; a missing one is not.
    finding = Find(SearchType::RegistryValueNames, user_.SearchPath(L"Bare"));
    EXPECT_TRUE(finding.found);
    EXPECT_TRUE(finding.versions.empty());
    EXPECT_FALSE(Find(SearchType::RegistryValueNames, user_.SearchPath(L"NotThere")).found);

    for (const wchar_t* name : {L"1.0", L"2.5.3", L"Beta"})
        ASSERT_TRUE(user_.CreateKey(std::wstring(L"Versions\\") + name));
    Versions names = Find(SearchType::RegistryKeyNames, user_.SearchPath(L"Versions")).versions;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Versions{L"1.0", L"2.5.3", L"Beta"}));
}

TEST_F(RegistrySearchTest, SixtyFourBitFlagReadsTheSixtyFourBitView)
{
    const RegistryScope machine{HKEY_LOCAL_MACHINE, L"RegistryView"};
    ASSERT_TRUE(machine.SetString(L"", L"Version", L"64.0", KEY_WOW64_64KEY));
    ASSERT_TRUE(machine.SetString(L"", L"Version", L"32.0", KEY_WOW64_32KEY));
    ASSERT_TRUE(machine.SetString(L"", L"Only32", L"yes", KEY_WOW64_32KEY));
    EXPECT_EQ(Find(SearchType::RegistryValueVersion, machine.SearchPath(L"Version"), true).versions,
              Versions{L"64.0"});
    EXPECT_FALSE(Find(SearchType::RegistryValueExists, machine.SearchPath(L"Only32"), true).found);
    EXPECT_EQ(Find(SearchType::RegistryValueNames, machine.SearchPath(), true).versions, Versions{L"Version"});
    // Without the flag the process's own view is read.
    EXPECT_EQ(Find(SearchType::RegistryValueVersion, machine.SearchPath(L"Version"), false).versions,
              Versions{sizeof(void*) == 8 ? L"64.0" : L"32.0"});
}

} // namespace
