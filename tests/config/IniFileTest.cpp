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

TEST(IniFile, DuplicateKeysAreKeptAndTheFirstWinsAlsoWhenSet)
{
    const IniFile ini = Parse(L"[Sec]\r\nA = 1 \r\nA=2\r\n");
    const orvanta::IniSection* section = ini.FindSection(L"Sec");
    ASSERT_NE(section, nullptr);
    ASSERT_EQ(section->pairs.size(), 2u);
    EXPECT_EQ(section->pairs[0].key, L"A");
    EXPECT_EQ(section->pairs[0].value, L"1");
    EXPECT_EQ(section->pairs[1].value, L"2");
    EXPECT_EQ(Value(ini, L"Sec", L"A"), L"1");

    IniFile set;
    set.SetValue(L"S", L"K", L"1");
    set.SetValue(L"S", L"K", L"2");
    EXPECT_EQ(set.GetSectionNames(), std::vector<std::wstring>{L"S"});
    EXPECT_EQ(set.FindSection(L"S")->pairs.size(), 2u);
    EXPECT_EQ(Value(set, L"S", L"K"), L"1");

    // A byte-order mark is dropped; parsing replaces earlier content.
    set.Parse(L"\xFEFF[T]\r\nA=1\r\n");
    EXPECT_EQ(set.GetSectionNames(), std::vector<std::wstring>{L"T"});
    EXPECT_EQ(Value(set, L"T", L"A"), L"1");
}

TEST(IniFileParse, LookupRules)
{
    const struct {
        const wchar_t* text;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
    } cases[] = {
        // Sections and keys compare exactly.
        {L"[GeneralOptions]\r\nOptions=q\r\n", L"GeneralOptions", L"options", L"<absent>"},
        {L"[GeneralOptions]\r\nOptions=q\r\n", L"generaloptions", L"Options", L"<absent>"},
        // A duplicate section is separate: only the first is searched.
        {L"[One]\r\nX=1\r\n[One]\r\nY=2\r\n", L"One", L"X", L"1"},
        {L"[One]\r\nX=1\r\n[One]\r\nY=2\r\n", L"One", L"Y", L"<absent>"},
        // A header may stand between blanks, but "[Other] ;note" is none: B still belongs to Sec.
        {L"  [Sec]  \r\nA=1\r\n[Other] ;note\r\nB=2\r\n", L"Sec", L"B", L"2"},
        {L"[ Spaced ]\r\nC=3\r\n", L" Spaced ", L"C", L"3"},
        // Keys and values are trimmed; the value runs from the first "=" to the line end.
        {L"[S]\r\n;comment=x\r\n", L"S", L";comment", L"x"},
        {L"[S]\r\nPath=C:\\a=b\r\n", L"S", L"Path", L"C:\\a=b"},
        {L"[S]\r\n=v\r\n", L"S", L"", L"v"},
        {L"[S]\r\n\tK\t=\t v \t\r\n", L"S", L"K", L"v"},
        // Lines before the first header are ignored; the last line needs no CR LF.
        {L"A=1\r\n[S]\r\nB=2", L"S", L"B", L"2"},
        // Only CR LF ends a line: a lone CR stays in the value and is trimmed as white space.
        {L"[S]\r\nA=1\r", L"S", L"A", L"1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Value(Parse(c.text), c.section, c.key), c.value) << c.text;
    EXPECT_EQ(Parse(L"[One]\r\nX=1\r\n[One]\r\n").GetSectionNames(), (std::vector<std::wstring>{L"One", L"One"}));
    EXPECT_EQ(Parse(L"[S]\r\n;c=x\r\nno equals here\r\nK=v\r\n").FindSection(L"S")->pairs.size(), 2u);
    EXPECT_EQ(Parse(L"A=1\r\n[S]\r\n").GetSectionNames(), std::vector<std::wstring>{L"S"});
    EXPECT_TRUE(Parse(L"[S]\nA=1\n").GetSectionNames().empty());
    // LF-only text that starts with "[" and ends with "]" is one header.
    EXPECT_EQ(Parse(L"[S]\nA=1\n[T]").GetSectionNames(), std::vector<std::wstring>{L"S]\nA=1\n[T"});
}

