// The OS lists and the language list that exclude a prerequisite.
#include "detection/OsIdentification.h"
#include "platform/Logger.h"
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

TEST(OsMatches, SixtyFourBitWindowsUsesOnlyWinNT64Versions)
{
    EXPECT_TRUE(OsMatches(L"", L"", Windows10(false)));
    EXPECT_TRUE(OsMatches(L"", L"", OsVersionInfo()));
    EXPECT_TRUE(OsMatches(L"Windows 10 x64", L"", Windows10(true)));
    EXPECT_FALSE(OsMatches(L"", L"Windows 10 x64", Windows10(true)));
    EXPECT_TRUE(OsMatches(L"", L"Windows 10 x86", Windows10(false)));
    EXPECT_FALSE(OsMatches(L"Windows 10 x86", L"", Windows10(false)));
    EXPECT_TRUE(OsMatches(L"Windows 10 x64", L"Windows 10 x86", Windows10(true)));
}

TEST(OsMatches, DetailedOrCoarseNameExcludes)
{
    EXPECT_FALSE(OsMatches(L"", L"Windows 7 x64, Windows 10 version 22H2 x64, Windows 8 x64", Windows10(true)));
    EXPECT_FALSE(OsMatches(L"", L"Windows 10 x64, ", Windows10(true)));
    EXPECT_TRUE(OsMatches(L"", L"Windows 10 version 21H2 x64, Windows 7 x64", Windows10(true)));
}

TEST(OsMatches, PiecesMustMatchExactly)
{
    // Case, a missing or extra character, a second blank, a comma without blank: no match.
    for (const wchar_t* list : {L"windows 10 x64", L"Windows 10 x6", L"Windows 10 x64 ",
                                L"Windows 7 x64,  Windows 10 x64", L"Windows 10 x64,Windows 7 x64"})
        EXPECT_TRUE(OsMatches(L"", list, Windows10(true))) << list;
}

TEST(OsMatches, WholePlatformTextExcludesEverySystemOfItsPlatform)
{
    OsVersionInfo unidentified;
    unidentified.wow64 = true;
    EXPECT_FALSE(OsMatches(L"", kWholePlatformX64, Windows10(true)));
    EXPECT_FALSE(OsMatches(L"", kWholePlatformX64, unidentified));
    unidentified.wow64 = false;
    EXPECT_FALSE(OsMatches(kWholePlatformX86, L"", Windows10(false)));
    EXPECT_FALSE(OsMatches(kWholePlatformX86, L"", unidentified));
    // Each text belongs to its own list: elsewhere it is an ordinary one-piece list.
    EXPECT_TRUE(OsMatches(L"", kWholePlatformX86, Windows10(true)));
    EXPECT_TRUE(OsMatches(kWholePlatformX64, L"", Windows10(false)));
    // With one more blank it is an ordinary list.
    EXPECT_TRUE(OsMatches(L"", L" " + std::wstring(kWholePlatformX64), Windows10(true)));
    EXPECT_TRUE(OsMatches(L"", std::wstring(kWholePlatformX64) + L" ", Windows10(true)));
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

TEST(LanguageListAccepts, SemicolonTerminatedNumbersOnly)
{
    EXPECT_TRUE(LanguageListAccepts(L"", 0));
    EXPECT_TRUE(LanguageListAccepts(L"1033;1031;", 1031));
    EXPECT_FALSE(LanguageListAccepts(L"1033;1031;", 1036));
    // Text after the last ";" is never looked at.
    EXPECT_FALSE(LanguageListAccepts(L"1033", 1033));
    EXPECT_FALSE(LanguageListAccepts(L"1031;1033", 1033));
    EXPECT_FALSE(LanguageListAccepts(L";", 1033));
}

TEST(LanguageListAccepts, NumbersReadLikeDecimalConversion)
{
    EXPECT_TRUE(LanguageListAccepts(L"\t+1033;", 1033));
    EXPECT_TRUE(LanguageListAccepts(L"1033 German;", 1033));
    EXPECT_FALSE(LanguageListAccepts(L"x1033;", 1033));
    EXPECT_TRUE(LanguageListAccepts(L"x1033;", 0));
    // Compared as 16-bit values: -1 is 0xFFFF, 66569 is 1033 + 65536.
    EXPECT_TRUE(LanguageListAccepts(L"-1;", 0xFFFF));
    EXPECT_TRUE(LanguageListAccepts(L"66569;", 1033));
    // Far too many digits: the low 16 bits are all ones whether the number wraps or saturates.
    EXPECT_TRUE(LanguageListAccepts(std::wstring(5000, L'9') + L";", 0xFFFF));
    EXPECT_FALSE(LanguageListAccepts(std::wstring(5000, L'9') + L";", 1033));
}

TEST(LanguageMatches, LogsTheSystemDefaultLanguageOnlyForANonEmptyList)
{
    testing_support::LogCapture log;
    LogEnabled = false;  // nothing is written while logging is off
    EXPECT_FALSE(LanguageMatches(L"0;"));
    EXPECT_FALSE(testing_support::FileExists(log.Path()));
    LogEnabled = true;
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
