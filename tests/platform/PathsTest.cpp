#include "run/Chainer.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

using namespace orvanta;

TEST(LongPaths, PrefixedFrom248CharactersDrivePathsPlainNetworkPathsInUncForm)
{
    const std::wstring short247 = L"C:\\" + std::wstring(244, L'a');
    const std::wstring long248 = L"C:\\" + std::wstring(245, L'a');
    EXPECT_EQ(MakeLongPath(short247), short247);
    EXPECT_EQ(MakeLongPath(long248), L"\\\\?\\" + long248);
    EXPECT_EQ(MakeLongPath(L"\\\\?\\" + long248), L"\\\\?\\" + long248);
    const std::wstring unc = L"\\\\srv\\share\\" + std::wstring(288, L'b');
    EXPECT_EQ(MakeLongPath(unc), L"\\\\?\\UNC\\srv\\share\\" + std::wstring(288, L'b'));
    EXPECT_EQ(MakeLongPath(std::wstring(300, L'r')), std::wstring(300, L'r'));  // relative paths stay

    // Asked for explicitly, drive paths get the prefix plain, network paths the UNC form.
    struct Case {
        const wchar_t* plain;
        const wchar_t* prefixed;
    };
    const Case cases[] = {
        {L"C:\\a\\b", L"\\\\?\\C:\\a\\b"},
        {L"\\\\srv\\share\\x.msi", L"\\\\?\\UNC\\srv\\share\\x.msi"},
        {L"\\\\srv\\share", L"\\\\?\\UNC\\srv\\share"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WithLongPathPrefix(c.plain), c.prefixed);
        EXPECT_EQ(WithLongPathPrefix(c.prefixed), c.prefixed) << "prefixed once only";
        EXPECT_EQ(WithoutLongPathPrefix(c.prefixed), c.plain);
        EXPECT_EQ(WithoutLongPathPrefix(c.plain), c.plain);
    }
    EXPECT_EQ(WithLongPathPrefix(L"relative\\x"), L"relative\\x");

    // Normalising removes prefixes and repeated backslashes.
    EXPECT_EQ(NormalizePath(L"C:\\a\\\\b\\"), L"C:\\a\\b");
    EXPECT_EQ(NormalizePath(L"\\\\?\\C:\\x"), L"C:\\x");
    EXPECT_EQ(NormalizePath(L"\\\\?\\UNC\\srv\\share"), L"\\\\srv\\share");
    EXPECT_EQ(NormalizePath(L"C:\\"), L"C:");
    EXPECT_EQ(NormalizePath(L""), L"");
}

TEST(IniFile, PathDerivedFromTheModulePathAndFirstTwoBytesAlwaysSkipped)
{
    const std::string withBom("\xFF\xFE[\0S\0]\0", 8);
    EXPECT_EQ(IniTextFromBytes(withBom), L"[S]");
    const std::string withoutBom("[\0S\0]\0", 6);
    EXPECT_EQ(IniTextFromBytes(withoutBom), L"S]");
    const std::string oddLength("\xFF\xFEX\0Y", 5);
    EXPECT_EQ(IniTextFromBytes(oddLength), L"X");
    EXPECT_EQ(IniTextFromBytes(std::string("\xFF\xFE", 2)), L"");

    EXPECT_EQ(IniPathForModule(L"C:\\pkg\\setup.x64.exe"), L"C:\\pkg\\setup.x64.ini");
    EXPECT_EQ(IniPathForModule(L"C:\\pkg\\setup"), L"C:\\pkg\\setup.ini");
}
