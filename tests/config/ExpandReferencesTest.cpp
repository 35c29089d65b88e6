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

TEST(ExpandReferences, FolderAndEnvironmentReferencesAndMalformedOnes)
{
    const ScopedEnvironment temp(L"TEMP", L"T");
    const ScopedEnvironment missing(L"NOSUCHVAR", nullptr);
    const ScopedEnvironment b(L"b", L"[B]");
    const ScopedEnvironment first(L"ORVANTA_FIRST", L"%ORVANTA_SECOND%[WindowsFolder]!HKCU\\x!");
    const ScopedEnvironment second(L"ORVANTA_SECOND", L"wrong");
    const std::wstring windows = folder_tests::WindowsDirectory();
    const std::wstring longName(100000, L'N');
    const std::wstring embeddedZero(L"a\0b[WindowsFolder", 17);
    const std::pair<std::wstring, std::wstring> cases[] = {
        // Folder references keep their own trailing backslash (or none).
        {L"", L""}, {L"[WindowsFolder]Fonts", windows + L"Fonts"},
        {L"\"[WindowsFolder]\\a.exe\" /x [ProgramFilesFolder]",
         L"\"" + windows + L"\\a.exe\" /x " + ShellFolderPath(CSIDL_PROGRAM_FILES) + L"\\"},
        // A name runs to the first "]"; unknown names stay.
        {L"[programfilesfolder]", L"[programfilesfolder]"}, {L"[]", L"[]"}, {L"a[b]c[d]", L"a[b]c[d]"},
        {L"[[WindowsFolder]]", L"[[WindowsFolder]]"},
        // Undefined variables vanish; "%%" names the empty variable, which is never defined.
        {L"%TEMP%\\a", L"T\\a"}, {L"%NOSUCHVAR%x", L"x"}, {L"a%b%c", L"a[B]c"}, {L"100%%x", L"100x"},
        // Unterminated references are copied from their opening character.
        {L"[", L"["}, {L"%", L"%"}, {L"!", L"!"}, {L"x%TEMP", L"x%TEMP"}, {L"[x%y!z", L"[x%y!z"},
        {L"a!HKCU\\Software\\x", L"a!HKCU\\Software\\x"}, {L"a]b", L"a]b"}, {L"a!!b", L"a!!b"},
        {L"%TEMP%[WindowsFolder", L"T[WindowsFolder"}, {L"[WindowsFolder]%TEMP", windows + L"%TEMP"},
        {L"%TEMP%50% off", L"T50% off"},
        // Replaced values are not scanned again.
        {L"<%ORVANTA_FIRST%>", L"<%ORVANTA_SECOND%[WindowsFolder]!HKCU\\x!>"},
        // A registry name needs a character and a backslash: "!!!" is the name "!".
        {L"a!!!b", L"ab"}, {L"a!NoBackslash!b", L"ab"}, {L"!HKCU!", L""},
        // Hostile input.
        {L"[" + longName + L"]x", L"[" + longName + L"]x"}, {L"%" + longName + L"%x", L"x"},
        {L"!HKCU\\" + longName + L"\\" + longName + L"!x", L"x"}, {std::wstring(50000, L'%'), L""},
        {std::wstring(50001, L'%'), L"%"}, {L"!HKCU\\\\\\!", L""}, {L"!\\\\!", L""}, {embeddedZero, embeddedZero},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Expand(text), expected) << text.substr(0, 60);
    EXPECT_EQ(ExpandReferences(L"[SystemFolder]x", true), ShellFolderPath(CSIDL_SYSTEM) + L"\\x");
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
