// The OS lists and the language list that exclude a prerequisite.
#include "detection/OsIdentification.h"
#include "platform/Text.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

OsVersionInfo Windows10(bool wow64)
{
    OsVersionInfo info;
    info.major = 10;
    info.build = 19045;
    info.wow64 = wow64;
    return info;
}

} // namespace

TEST(OsMatches, ListOfThePlatformExcludesByDetailedOrCoarseName)
{
    const OsVersionInfo x64 = Windows10(true);
    const OsVersionInfo x86 = Windows10(false);
    const OsVersionInfo none86;
    OsVersionInfo none64;
    none64.wow64 = true;
    const std::wstring whole64 = kWholePlatformX64;
    const std::wstring whole86 = kWholePlatformX86;
    const struct {
        std::wstring winNT;
        std::wstring winNT64;
        OsVersionInfo os;
        bool matches;
    } cases[] = {
        // A 64-bit Windows reads only the WinNT64 list, a 32-bit one only the WinNT list.
        {L"", L"", x86, true}, {L"", L"", none86, true}, {L"Windows 10 x64", L"", x64, true},
        {L"", L"Windows 10 x64", x64, false}, {L"", L"Windows 10 x86", x86, true},
        {L"Windows 10 x86", L"", x86, false}, {L"Windows 10 x64", L"Windows 10 x86", x64, true},
        {L"", L"Windows 7 x64, Windows 10 version 22H2 x64, Windows 8 x64", x64, false},
        {L"", L"Windows 10 x64, ", x64, false}, {L"", L"Windows 10 version 21H2 x64, Windows 7 x64", x64, true},
        // Pieces match exactly: case, a missing or extra character, a second blank, no blank.
        {L"", L"windows 10 x64", x64, true}, {L"", L"Windows 10 x6", x64, true},
        {L"", L"Windows 10 x64 ", x64, true}, {L"", L"Windows 7 x64,  Windows 10 x64", x64, true},
        {L"", L"Windows 10 x64,Windows 7 x64", x64, true},
        // The whole-platform text excludes every system of its platform, in its own list only;
        // with one more blank it is an ordinary list.
        {L"", whole64, x64, false}, {L"", whole64, none64, false}, {whole86, L"", x86, false},
        {whole86, L"", none86, false}, {L"", whole86, x64, true}, {whole64, L"", x86, true},
        {L"", L" " + whole64, x64, true}, {L"", whole64 + L" ", x64, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OsMatches(c.winNT, c.winNT64, c.os), c.matches) << c.winNT << "|" << c.winNT64 << "|" << c.os.wow64;
}

TEST(OsMatches, RunningSystemIsExcludedByItsOwnNames)
{
    // Whatever this prefix reports, its names exclude it from the list of its platform.
    const bool wow64 = GetOsVersionInfo().wow64;
    const std::wstring& detailed = GetDetailedOsName();
    const std::wstring& coarse = GetCoarseOsName();
    EXPECT_EQ(detailed, DetailedOsName(GetOsVersionInfo()));
    EXPECT_FALSE(OsMatches(wow64 ? L"" : detailed, wow64 ? detailed : L""));
    EXPECT_FALSE(OsMatches(wow64 ? L"" : L"x, " + coarse, wow64 ? L"x, " + coarse : L""));
    EXPECT_TRUE(OsMatches(wow64 ? detailed : L"", wow64 ? L"" : detailed));
#if defined(_WIN64)
    EXPECT_TRUE(wow64);
#endif
}

TEST(LanguageListAccepts, SemicolonTerminatedNumbersReadLikeDecimalConversion)
{
    const std::wstring nines = std::wstring(5000, L'9') + L";";
    const struct {
        std::wstring list;
        LANGID language;
        bool accepted;
    } cases[] = {
        {L"", 0, true}, {L"1033;1031;", 1031, true}, {L"1033;1031;", 1036, false},
        // Text after the last ";" is never looked at.
        {L"1033", 1033, false}, {L"1031;1033", 1033, false}, {L";", 1033, false},
        {L"\t+1033;", 1033, true}, {L"1033 German;", 1033, true}, {L"x1033;", 1033, false}, {L"x1033;", 0, true},
        // Compared as 16-bit values: -1 is 0xFFFF, 66569 is 1033 + 65536; far too many digits
        // leave all low bits set whether the number wraps or saturates.
        {L"-1;", 0xFFFF, true}, {L"66569;", 1033, true}, {nines, 0xFFFF, true}, {nines, 1033, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LanguageListAccepts(c.list, c.language), c.accepted) << c.list.substr(0, 20) << " " << c.language;
}

TEST(LanguageMatches, LogsTheSystemDefaultLanguageOnlyForANonEmptyList)
{
    testing_support::LogCapture log;
    const LANGID language = ::GetSystemDefaultLangID();
    EXPECT_TRUE(LanguageMatches(L""));
    EXPECT_TRUE(LanguageMatches(Format(L"7;%d;", static_cast<int>(language))));
    EXPECT_FALSE(LanguageMatches(Format(L"%d;", static_cast<int>(language) + 1)));

    const std::wstring prefix = Format(L"SystemDefault LangID=%d-", static_cast<int>(language));
    size_t languageLines = 0;
    for (const std::wstring& line : log.Lines()) {
        if (!StartsWith(line, L"SystemDefault LangID="))
            continue;
        ++languageLines;
        EXPECT_TRUE(StartsWith(line, prefix) && line.size() > prefix.size()) << line;
        if (language == 1033) {
            EXPECT_EQ(line, L"SystemDefault LangID=1033-English (United States)");
        }
    }
    EXPECT_EQ(languageLines, 2u);
}
