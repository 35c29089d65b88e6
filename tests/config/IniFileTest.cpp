#include "config/IniFile.h"

#include <gtest/gtest.h>

using orvanta::IniFile;

namespace {

IniFile Parse(const std::wstring& text)
{
    IniFile ini;
    ini.Parse(text);
    return ini;
}

std::wstring Value(const IniFile& ini, const std::wstring& section, const std::wstring& key)
{
    std::wstring value = L"<absent>";
    ini.GetValue(section, key, value);
    return value;
}

} // namespace

TEST(IniFileParse, DuplicateKeysAreKeptAndTheFirstWins)
{
    const IniFile ini = Parse(L"[Sec]\r\nA = 1 \r\nA=2\r\n");
    const orvanta::IniSection* section = ini.FindSection(L"Sec");
    ASSERT_NE(section, nullptr);
    ASSERT_EQ(section->pairs.size(), 2u);
    EXPECT_EQ(section->pairs[0].key, L"A");
    EXPECT_EQ(section->pairs[0].value, L"1");
    EXPECT_EQ(section->pairs[1].value, L"2");
    EXPECT_EQ(Value(ini, L"Sec", L"A"), L"1");
}

TEST(IniFileParse, LookupsAreCaseSensitive)
{
    const IniFile ini = Parse(L"[GeneralOptions]\r\nOptions=q\r\n");
    EXPECT_EQ(Value(ini, L"GeneralOptions", L"options"), L"<absent>");
    EXPECT_EQ(Value(ini, L"generaloptions", L"Options"), L"<absent>");
}

TEST(IniFileParse, DuplicateSectionsAreSeparateAndOnlyTheFirstIsSearched)
{
    const IniFile ini = Parse(L"[One]\r\nX=1\r\n[One]\r\nY=2\r\n");
    EXPECT_EQ(ini.GetSectionNames(), (std::vector<std::wstring>{L"One", L"One"}));
    EXPECT_EQ(Value(ini, L"One", L"X"), L"1");
    EXPECT_EQ(Value(ini, L"One", L"Y"), L"<absent>");
}

TEST(IniFileParse, HeaderRules)
{
    const IniFile ini = Parse(L"  [Sec]  \r\nA=1\r\n[Other] ;note\r\nB=2\r\n[ Spaced ]\r\nC=3\r\n");
    EXPECT_EQ(Value(ini, L"Sec", L"A"), L"1");
    // "[Other] ;note" is not a header, so B still belongs to Sec.
    EXPECT_EQ(Value(ini, L"Sec", L"B"), L"2");
    EXPECT_EQ(ini.FindSection(L"Other"), nullptr);
    EXPECT_EQ(Value(ini, L" Spaced ", L"C"), L"3");
}

TEST(IniFileParse, KeyValueSplitting)
{
    const IniFile ini = Parse(L"[S]\r\n;comment=x\r\nPath=C:\\a=b\r\n=v\r\nno equals here\r\n\tK\t=\t v \t\r\n");
    EXPECT_EQ(Value(ini, L"S", L";comment"), L"x");
    EXPECT_EQ(Value(ini, L"S", L"Path"), L"C:\\a=b");
    EXPECT_EQ(Value(ini, L"S", L""), L"v");
    EXPECT_EQ(Value(ini, L"S", L"K"), L"v");
    EXPECT_EQ(ini.FindSection(L"S")->pairs.size(), 4u);
}

TEST(IniFileParse, LinesBeforeTheFirstHeaderAreIgnored)
{
    const IniFile ini = Parse(L"A=1\r\n[S]\r\nB=2");
    EXPECT_EQ(ini.GetSectionNames(), std::vector<std::wstring>{L"S"});
    EXPECT_EQ(Value(ini, L"S", L"B"), L"2");  // last line without CR LF still counts
}

TEST(IniFileParse, OnlyCrLfEndsALine)
{
    EXPECT_TRUE(Parse(L"[S]\nA=1\n").GetSectionNames().empty());
    // LF-only text that starts with "[" and ends with "]" is one header.
    const IniFile header = Parse(L"[S]\nA=1\n[T]");
    ASSERT_EQ(header.GetSectionNames().size(), 1u);
    EXPECT_EQ(header.GetSectionNames()[0], L"S]\nA=1\n[T");
    // A lone CR stays part of the value line and is trimmed as white space.
    EXPECT_EQ(Value(Parse(L"[S]\r\nA=1\r"), L"S", L"A"), L"1");
}

TEST(IniFileParse, ByteOrderMarkIsDroppedAndParseReplacesEarlierContent)
{
    IniFile ini = Parse(L"[A]\r\nX=1\r\n");
    ini.Parse(L"\xFEFF[S]\r\nA=1\r\n");
    EXPECT_EQ(ini.GetSectionNames(), std::vector<std::wstring>{L"S"});
    EXPECT_EQ(Value(ini, L"S", L"A"), L"1");
}

TEST(IniFileSetValue, AppendsWithoutReplacing)
{
    IniFile ini;
    ini.SetValue(L"S", L"K", L"1");
    ini.SetValue(L"S", L"K", L"2");
    EXPECT_EQ(ini.GetSectionNames(), std::vector<std::wstring>{L"S"});
    EXPECT_EQ(ini.FindSection(L"S")->pairs.size(), 2u);
    EXPECT_EQ(Value(ini, L"S", L"K"), L"1");
}
