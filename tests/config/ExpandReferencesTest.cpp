// [Folder], %ENV% and !registry! references in configuration values.
#include "config/FolderProperties.h"
#include "platform/Text.h"

#include "FolderTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using folder_tests::ScopedEnvironment;
using folder_tests::ShellFolderPath;

namespace {

std::wstring Expand(const std::wstring& text)
{
    return ExpandReferences(text, false);
}

const wchar_t kKey[] = L"Software\\OrvantaTests\\ExpandReferences";
const wchar_t kKey32[] = L"Software\\WOW6432Node\\OrvantaTests\\ExpandReferences";

class RegistryReferenceTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
        testing_support::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kKey);
        testing_support::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kKey32);
    }
};

} // namespace

TEST(ExpandReferences, FolderReferencesKeepTheirOwnTrailingBackslash)
{
    const std::wstring programFiles = ShellFolderPath(CSIDL_PROGRAM_FILES);
    const std::wstring windows = folder_tests::WindowsDirectory();
    EXPECT_EQ(Expand(L""), L"");
    EXPECT_EQ(Expand(L"[WindowsFolder]Fonts"), windows + L"Fonts");
    EXPECT_EQ(ExpandReferences(L"[SystemFolder]x", true), ShellFolderPath(CSIDL_SYSTEM) + L"\\x");
    EXPECT_EQ(Expand(L"\"[WindowsFolder]\\a.exe\" /x [ProgramFilesFolder]"),
              L"\"" + windows + L"\\a.exe\" /x " + programFiles + L"\\");
}

TEST(ExpandReferences, UnknownFolderReferencesStayUnchanged)
{
    // The name runs to the first "]": "[WindowsFolder" is not a folder name.
    for (const wchar_t* text : {L"[programfilesfolder]", L"[]", L"a[b]c[d]", L"[[WindowsFolder]]"})
        EXPECT_EQ(Expand(text), text);
}

TEST(ExpandReferences, EnvironmentVariablesAreReplacedAndUndefinedOnesVanish)
{
    const ScopedEnvironment temp(L"TEMP", L"C:\\Users\\me\\Temp");
    const ScopedEnvironment missing(L"NOSUCHVAR", nullptr);
    const ScopedEnvironment b(L"b", L"[B]");
    EXPECT_EQ(Expand(L"%TEMP%\\a"), L"C:\\Users\\me\\Temp\\a");
    EXPECT_EQ(Expand(L"%NOSUCHVAR%x"), L"x");
    EXPECT_EQ(Expand(L"a%b%c"), L"a[B]c");
    // "%%" names the empty variable, which is never defined.
    EXPECT_EQ(Expand(L"100%%x"), L"100x");
}

TEST(ExpandReferences, UnterminatedReferencesAreCopiedFromTheirOpeningCharacter)
{
    const ScopedEnvironment temp(L"TEMP", L"T");
    const std::wstring windows = folder_tests::WindowsDirectory();
    for (const wchar_t* text : {L"[", L"%", L"!", L"x%TEMP", L"a!HKCU\\Software\\x", L"[x%y!z", L"a]b", L"a!!b"})
        EXPECT_EQ(Expand(text), text) << text;
    EXPECT_EQ(Expand(L"%TEMP%[WindowsFolder"), L"T[WindowsFolder");
    EXPECT_EQ(Expand(L"[WindowsFolder]%TEMP"), windows + L"%TEMP");
    EXPECT_EQ(Expand(L"%TEMP%50% off"), L"T50% off");
}

TEST(ExpandReferences, ReplacedValuesAreNotScannedAgain)
{
    const ScopedEnvironment first(L"ORVANTA_FIRST", L"%ORVANTA_SECOND%[WindowsFolder]!HKCU\\x!");
    const ScopedEnvironment second(L"ORVANTA_SECOND", L"wrong");
    EXPECT_EQ(Expand(L"<%ORVANTA_FIRST%>"), L"<%ORVANTA_SECOND%[WindowsFolder]!HKCU\\x!>");
}

TEST_F(RegistryReferenceTest, RegistryValuesAreReadAsText)
{
    ASSERT_TRUE(testing_support::SetRegistryString(HKEY_CURRENT_USER, kKey, L"Value", L"C:\\Data"));
    ASSERT_TRUE(testing_support::SetRegistryString(HKEY_CURRENT_USER, kKey, L"", L"default"));
    const DWORD number = 42;
    ASSERT_TRUE(testing_support::SetRegistryValue(HKEY_CURRENT_USER, kKey, L"Number", REG_DWORD, &number, 4));
    const std::wstring path = std::wstring(L"HKCU\\") + kKey;
    EXPECT_EQ(Expand(L"!" + path + L"\\Value!\\x"), L"C:\\Data\\x");
    EXPECT_EQ(Expand(L"v=!" + path + L"\\Number!"), L"v=42");
    // A trailing backslash names the key's default value.
    EXPECT_EQ(Expand(L"!" + path + L"\\!"), L"default");
    EXPECT_EQ(Expand(L"<!" + path + L"\\Missing!>"), L"<>");
    // Text read from the registry is not scanned again.
    ASSERT_TRUE(testing_support::SetRegistryString(HKEY_CURRENT_USER, kKey, L"Raw", L"%TEMP%[WindowsFolder]!x!"));
    EXPECT_EQ(Expand(L"!" + path + L"\\Raw!"), L"%TEMP%[WindowsFolder]!x!");
    EXPECT_EQ(Expand(L"!HKCU\\Software\\NoSuchKeyForOrvanta\\Value!end"), L"end");
}

TEST_F(RegistryReferenceTest, Use64ReadsThe64BitView)
{
    ASSERT_TRUE(testing_support::SetRegistryString(HKEY_LOCAL_MACHINE, kKey, L"Value", L"sixty-four",
                                                   KEY_WOW64_64KEY));
    ASSERT_TRUE(testing_support::SetRegistryString(HKEY_LOCAL_MACHINE, kKey, L"Value", L"thirty-two",
                                                   KEY_WOW64_32KEY));
    ASSERT_TRUE(testing_support::SetRegistryString(HKEY_LOCAL_MACHINE, kKey, L"Only32", L"x",
                                                   KEY_WOW64_32KEY));
    const std::wstring path = std::wstring(L"!HKLM\\") + kKey;
    EXPECT_EQ(ExpandReferences(path + L"\\Value!", true), L"sixty-four");
    EXPECT_EQ(ExpandReferences(path + L"\\Only32!", true), L"");
    // Without use64 the process's own view is read.
    EXPECT_EQ(ExpandReferences(path + L"\\Value!", false), sizeof(void*) == 8 ? L"sixty-four" : L"thirty-two");
}

TEST(ExpandReferences, RegistryNamesNeedAtLeastOneCharacterAndABackslash)
{
    // "!!!" is the one-character name "!", which is no registry path.
    EXPECT_EQ(Expand(L"a!!!b"), L"ab");
    EXPECT_EQ(Expand(L"a!NoBackslash!b"), L"ab");
    EXPECT_EQ(Expand(L"!HKCU!"), L"");
}

TEST(ExpandReferences, HostileInputsNeverCrash)
{
    const std::wstring longName(100000, L'N');
    EXPECT_EQ(Expand(L"[" + longName + L"]x"), L"[" + longName + L"]x");
    EXPECT_EQ(Expand(L"%" + longName + L"%x"), L"x");
    EXPECT_EQ(Expand(L"!HKCU\\" + longName + L"\\" + longName + L"!x"), L"x");
    EXPECT_EQ(Expand(std::wstring(50000, L'%')), L"");
    EXPECT_EQ(Expand(std::wstring(50001, L'%')), L"%");
    EXPECT_EQ(Expand(L"!HKCU\\\\\\!"), L"");
    EXPECT_EQ(Expand(L"!\\\\!"), L"");
    const std::wstring embeddedZero(L"a\0b[WindowsFolder", 17);
    EXPECT_EQ(Expand(embeddedZero), embeddedZero);
}
