#include "config/Config.h"
#include "platform/Strings.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace orvanta;

namespace {

ChainerConfig Load(const std::wstring& text)
{
    IniFile ini;
    ini.Parse(text);
    return LoadConfig(ini);
}

const wchar_t kTwoApps[] =
    L"[PREREQUISITES]\r\nApp1=First\r\nApp2=Second\r\nApp4=Fourth\r\n"
    L"[First]\r\nSetupFile=first.exe\r\nUrl=http://x/first.exe\r\n"
    L"[Second]\r\nUrl=http://127.0.0.1/second.msi\r\nOptions=im\r\n"
    L"[Fourth]\r\nSetupFile=fourth.exe\r\n";

} // namespace

TEST(ParseDecimal, DocumentedForms)
{
    EXPECT_EQ(ParseDecimal(L" 12abc"), 12);
    EXPECT_EQ(ParseDecimal(L"-+7"), -7);
    EXPECT_EQ(ParseDecimal(L"x1"), 0);
    EXPECT_EQ(ParseDecimal(L"\t5"), 0);  // only spaces are skipped
    EXPECT_EQ(ParseDecimal(L"+-3"), 0);
    EXPECT_EQ(ParseDecimal(L"4294967295"), -1);  // wraps in 32 bits
    // Sizes take the same form in 64 bits.
    EXPECT_EQ(ParseDecimal64(L" 4294967296abc"), 4294967296LL);
    EXPECT_EQ(ParseDecimal64(L"-+7"), -7);
    EXPECT_EQ(ParseDecimal64(L"x1"), 0);
    EXPECT_EQ(DecimalText(0), L"0");
    EXPECT_EQ(DecimalText(18446744073709551615ULL), L"18446744073709551615");
}

TEST(LoadConfig, ContinuousNumberingTheFirstPresentSourceKeyWinsOpenSiteBeatsUrlAndABrokenPrerequisiteEndsTheList)
{
    const ChainerConfig config = Load(kTwoApps);
    ASSERT_EQ(config.prerequisites.size(), 2u);  // App4 follows a gap
    EXPECT_EQ(config.prerequisites[0].name, L"First");
    EXPECT_EQ(config.prerequisites[0].source, L"first.exe");
    EXPECT_EQ(config.prerequisites[0].sourceKind, SourceSetupFile);
    EXPECT_EQ(config.prerequisites[1].name, L"Second");
    EXPECT_EQ(config.prerequisites[1].sourceKind, SourceUrl);

    const ChainerConfig noSource = Load(
        L"[PREREQUISITES]\r\nApp1=A\r\nApp2=B\r\nApp3=C\r\n[A]\r\nSetupFile=a\r\n[B]\r\nCommandLine=/q\r\n"
        L"[C]\r\nSetupFile=c\r\n");
    EXPECT_EQ(noSource.prerequisites.size(), 1u);

    // OpenSite beats Url, and only URL sources expand references.
    ::SetEnvironmentVariableW(L"ORVANTA_TEST_HOST", L"127.0.0.1");
    const ChainerConfig site = Load(
        L"[PREREQUISITES]\r\nApp1=A\r\nApp2=B\r\n[A]\r\nUrl=http://u\r\nOpenSite=http://%ORVANTA_TEST_HOST%/site\r\n"
        L"[B]\r\nSetupFile=%TEMP%\\b.exe\r\n");
    ASSERT_EQ(site.prerequisites.size(), 2u);
    EXPECT_EQ(site.prerequisites[0].sourceKind, SourceOpenSite);
    EXPECT_EQ(site.prerequisites[0].source, L"http://127.0.0.1/site");
    EXPECT_EQ(site.prerequisites[1].source, L"%TEMP%\\b.exe");

    const ChainerConfig missingSection = Load(L"[PREREQUISITES]\r\nApp1=Nowhere\r\n");
    EXPECT_TRUE(missingSection.prerequisites.empty());

    const ChainerConfig searchWithoutString = Load(
        L"[PREREQUISITES]\r\nApp1=A\r\n[A]\r\nSetupFile=a\r\nSearchType1=5\r\nSearchString1=HKLM\\x\r\n"
        L"SearchType2=5\r\n");
    EXPECT_TRUE(searchWithoutString.prerequisites.empty());

    EXPECT_TRUE(Load(L"[GeneralOptions]\r\nOptions=q\r\n").prerequisites.empty());
}

TEST(LoadConfig, PrerequisiteFields)
{
    const ChainerConfig config = Load(
        L"[PREREQUISITES]\r\nApp1=A\r\n"
        L"[A]\r\nSetupFile=a.exe\r\nVerMax=2.0\r\nNoUiCommandLine=/n\r\nExactSize=abc\r\nOperator=1\r\n"
        L"WinNT64Versions=Windows 10 x64\r\nSHA256=AbC\r\n"
        L"SearchType1=2\r\nSearchString1=HKLM\\S\\V\r\nVerMin1=1\r\nVerMax1=3\r\nRefContent1=M1\r\n"
        L"SearchCmdLine1=/c\r\nSearchType2=5\r\nSearchString2=HKCU\\K\r\n");
    ASSERT_EQ(config.prerequisites.size(), 1u);
    const PrereqInfo& info = config.prerequisites[0];
    EXPECT_EQ(info.ExactSize, 0);
    EXPECT_EQ(info.SHA256, L"AbC");  // as written: the comparison folds the case
    EXPECT_EQ(info.Operator, 1);
    EXPECT_EQ(info.WinNT64Versions, L"Windows 10 x64");
    ASSERT_EQ(info.searches.size(), 2u);
    EXPECT_EQ(info.searches[0].SearchType, 2);
    EXPECT_EQ(info.searches[0].SearchString, L"HKLM\\S\\V");
    EXPECT_EQ(info.searches[0].RefContent, L"M1");
    EXPECT_EQ(info.searches[0].SearchCmdLine, L"/c");
    EXPECT_EQ(info.searches[1].SearchType, 5);
    EXPECT_TRUE(info.searches[1].VerMin.empty());

    // A language list gets one closing semicolon; a lower-case "i" skips the search.
    const ChainerConfig languages = Load(
        L"[PREREQUISITES]\r\nApp1=A\r\nApp2=B\r\n[A]\r\nSetupFile=a\r\nLanguageList=1033;\r\nOptions=i\r\n"
        L"[B]\r\nSetupFile=b\r\nLanguageList=1033;1031\r\nOptions=I\r\n");
    EXPECT_EQ(languages.prerequisites[0].LanguageList, L"1033;");
    EXPECT_TRUE(languages.prerequisites[0].options.Has(PrereqOption::NotSearched));
    EXPECT_EQ(languages.prerequisites[1].LanguageList, L"1033;1031;");
    EXPECT_FALSE(languages.prerequisites[1].options.Has(PrereqOption::NotSearched));
}

TEST(LoadConfig, GeneralOptionsAndCleanupSettings)
{
    const ChainerConfig config = Load(
        L"[GeneralOptions]\r\nOptions=qb\r\nKeepFiles=Complete\r\nPackJars=TRUE\r\nAllPlatforms=yes\r\n"
        L"Is64PlatformTransf=True\r\nExtUIStub=x\r\nExtractionFolder=C:\\a\\\\b\r\nDefaultProdCode={P}\r\n");
    EXPECT_EQ(config.general.KeepFiles, KeepFilesNone);
    EXPECT_EQ(config.general.ExtractionFolder, L"C:\\a\\b\\");
    EXPECT_EQ(config.general.DefaultProdCode, L"{P}");
    EXPECT_TRUE(IsSilent(config));

    EXPECT_EQ(Load(L"[GeneralOptions]\r\nKeepFiles=complete\r\n").general.KeepFiles, KeepFilesComplete);
    EXPECT_FALSE(IsSilent(Load(L"[GeneralOptions]\r\nOptions=Qb\r\n")));

    // The cleanup settings come from the chainer's section.
    IniFile ini;
    ini.Parse(L"[PREREQ_CHAINER]\r\nLogFile=C:\\log.txt\r\nCleanupFolders=C:\\x\r\n");
    CleanupSettings settings;
    ASSERT_TRUE(ReadCleanupSettings(ini, settings));
    EXPECT_EQ(settings.LogFile, L"C:\\log.txt");
    EXPECT_EQ(settings.CleanupFolders, L"C:\\x");
    EXPECT_TRUE(settings.CleanupScript.empty());

    IniFile none;
    none.Parse(L"[Other]\r\nLogFile=x\r\n");
    EXPECT_FALSE(ReadCleanupSettings(none, settings));
}

