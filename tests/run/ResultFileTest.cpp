// The result file's text and its replacing write, and the exit codes of each ending in both styles.
#include "run/ResultFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace testing_support;

TEST(ResultFile, StringsAreEscapedAndEncodedAsUtf8)
{
    EXPECT_EQ(JsonString(L"a\"b\\c/"), "\"a\\\"b\\\\c/\"");
    EXPECT_EQ(JsonString(std::wstring(L"\x01\x1f\r\n\t\x7f", 6)), "\"\\u0001\\u001f\\r\\n\\t\x7f\"");
    EXPECT_EQ(JsonString(std::wstring(1, L'\0')), "\"\\u0000\"");
    EXPECT_EQ(JsonString(L"\x00e9\x20ac"), "\"\xC3\xA9\xE2\x82\xAC\"");
    EXPECT_EQ(JsonString(L"\xD83D\xDE00"), "\"\xF0\x9F\x98\x80\"");  // U+1F600 from its surrogate pair
    // Unpaired halves become U+FFFD, at the end and before another character.
    EXPECT_EQ(JsonString(L"x\xD83D"), "\"x\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonString(L"\xDE00y\xD83Dz"), "\"\xEF\xBF\xBDy\xEF\xBF\xBDz\"");
}

TEST(ResultFile, EachEndingHasItsCodeInBothStyles)
{
    const struct {
        RunEnd end;
        int32_t classic, msi;
    } rows[] = {
        {RunEnd::Completed, 0, 0},        {RunEnd::MandatoryMissing, 1, 1603},
        {RunEnd::RebootPending, -1, 3010}, {RunEnd::RebootStarted, -1, 1641},
        {RunEnd::Canceled, 0, 1602},      {RunEnd::CanceledMandatoryMissing, 1, 1602},
        {RunEnd::AlreadyRunning, 1618, 1618}, {RunEnd::Failed, 1603, 1603},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ExitCodeFor(row.end), row.classic) << static_cast<int>(row.end);
        EXPECT_EQ(ExitCodeFor(row.end, ExitCodeStyle::Msi), row.msi) << static_cast<int>(row.end);
    }
}

TEST(ResultFile, AWriteReplacesTheOldFileAndLeavesNoTemporaryFile)
{
    TempDir folder;
    const std::wstring path = folder / L"result.json";
    ASSERT_EQ(WriteFileReplacing(path, "old"), 0u);
    ASSERT_EQ(WriteFileReplacing(path, "{}\n"), 0u);
    EXPECT_EQ(ReadBytes(path), "{}\n");
    // A folder in the file's place stays, with nothing beside it.
    const std::wstring taken = folder / L"taken.json";
    ASSERT_TRUE(::CreateDirectoryW(taken.c_str(), nullptr));
    EXPECT_NE(WriteFileReplacing(taken, "{}"), 0u);
    WIN32_FIND_DATAW found;
    int entries = 0;
    const HANDLE find = ::FindFirstFileW((folder / L"*").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        entries += found.cFileName[0] != L'.';
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    EXPECT_EQ(entries, 2);
}
