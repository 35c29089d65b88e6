// FileVersion and FolderNameVersions searches on real files of the test prefix.
#include "SearchTestSupport.h"

#include "detection/SearchKinds.h"
#include "platform/core/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvanta;
using search_tests::Find;
using search_tests::Search;
using search_tests::UniqueName;
using testing_support::TempDir;

namespace {

std::wstring Versioned()
{
    return testing_support::EnvironmentValue(L"ORVANTA_VERSIONED");
}

std::wstring Unversioned()
{
    return testing_support::EnvironmentValue(L"ORVANTA_TESTHELPER");
}

// A folder tree below C:\ (the first fixed drive), removed at scope end.
class DriveRootFolder {
public:
    DriveRootFolder() : path_(L"C:\\" + UniqueName(L"orvanta-search")) { ::CreateDirectoryW(path_.c_str(), nullptr); }
    ~DriveRootFolder() { testing_support::RemoveTree(path_); }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

class FileSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Versioned().empty());
        ASSERT_TRUE(testing_support::FileExists(Versioned()));
    }

    TempDir temp_;
};

TEST_F(FileSearchTest, FullPathGivesTheFileVersion)
{
    const SearchFinding finding = Find(SearchType::FileVersion, Versioned());
    EXPECT_EQ(finding.versions, std::vector<std::wstring>{L"1.2.3.4"});

    std::vector<SearchFinding> findings;
    EXPECT_TRUE(EvaluateSearches({Search(SearchType::FileVersion, Versioned(), L"1.2.3", L"1.2.3.4")}, findings, 0,
                                 false, nullptr));
    EXPECT_FALSE(EvaluateSearches({Search(SearchType::FileVersion, Versioned(), L"1.2.3.5")}, findings, 0, false,
                                  nullptr));
}

TEST_F(FileSearchTest, FileWithoutVersionGivesZeroVersionThatOnlyUnboundedSearchesAccept)
{
    const std::wstring copy = temp_ / L"plain.exe";
    ASSERT_TRUE(::CopyFileW(Unversioned().c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(Find(SearchType::FileVersion, copy).versions, std::vector<std::wstring>{L"0.0.0.0"});
    std::vector<SearchFinding> findings;
    EXPECT_TRUE(EvaluateSearches({Search(SearchType::FileVersion, copy)}, findings, 0, false, nullptr));
    EXPECT_FALSE(EvaluateSearches({Search(SearchType::FileVersion, copy, L"0.0.0.1")}, findings, 0, false, nullptr));
    EXPECT_FALSE(EvaluateSearches({Search(SearchType::FileVersion, copy, L"", L"9.0")}, findings, 0, false, nullptr));
}

TEST_F(FileSearchTest, MissingFileFindsNothing)
{
    EXPECT_TRUE(Find(SearchType::FileVersion, temp_ / L"missing.dll").versions.empty());
    EXPECT_TRUE(Find(SearchType::FileVersion, temp_ / L"nested\\missing.dll?3").versions.empty());
}

TEST_F(FileSearchTest, FolderAndEnvironmentReferencesAreExpanded)
{
    const std::wstring name = UniqueName(L"ref") + L".exe";
    const std::wstring tempFolder = GetTempFolder();
    ASSERT_FALSE(tempFolder.empty());
    const std::wstring copy = tempFolder + L"\\" + name;
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), copy.c_str(), FALSE));
    const SearchFinding byFolder = Find(SearchType::FileVersion, L"[TempFolder]" + name);
    const SearchFinding byVariable = Find(SearchType::FileVersion, L"%ORVANTA_H3_FOLDER%\\" + name + L"?0");
    ::DeleteFileW(copy.c_str());
    EXPECT_EQ(byFolder.versions, std::vector<std::wstring>{L"1.2.3.4"});
    // The variable is not set: the text expands to "\name", a file that does not exist.
    EXPECT_TRUE(byVariable.versions.empty());

    ::SetEnvironmentVariableW(L"ORVANTA_H3_FOLDER", temp_.Path().c_str());
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), (temp_ / name).c_str(), FALSE));
    EXPECT_EQ(Find(SearchType::FileVersion, L"%ORVANTA_H3_FOLDER%\\" + name).versions,
              std::vector<std::wstring>{L"1.2.3.4"});
    ::SetEnvironmentVariableW(L"ORVANTA_H3_FOLDER", nullptr);
}

TEST_F(FileSearchTest, DepthSuffixLooksIntoSubfoldersDownToThatDepth)
{
    const std::wstring deep = temp_ / L"a\\b";
    ASSERT_TRUE(::CreateDirectoryW((temp_ / L"a").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), (deep + L"\\deep.exe").c_str(), FALSE));
    EXPECT_TRUE(Find(SearchType::FileVersion, temp_ / L"deep.exe").versions.empty());
    EXPECT_TRUE(Find(SearchType::FileVersion, temp_ / L"deep.exe?1").versions.empty());
    EXPECT_EQ(Find(SearchType::FileVersion, temp_ / L"deep.exe?2").versions, std::vector<std::wstring>{L"1.2.3.4"});
    EXPECT_EQ(Find(SearchType::FileVersion, temp_ / L"deep.exe?2000000000").versions,
              std::vector<std::wstring>{L"1.2.3.4"});
}

TEST_F(FileSearchTest, FirstHitInDepthFirstOrderEndsTheSearch)
{
    // x\y\hit.exe is met (depth first through x) before z\hit.exe only when x is listed first;
    // both lie within depth 2, and exactly one version is reported either way.
    for (const wchar_t* folder : {L"x", L"x\\y", L"z"})
        ASSERT_TRUE(::CreateDirectoryW((temp_ / folder).c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), (temp_ / L"x\\y\\hit.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(Unversioned().c_str(), (temp_ / L"z\\hit.exe").c_str(), FALSE));
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((temp_ / L"*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::wstring firstFolder;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"x" || name == L"z") {
            firstFolder = name;
            break;
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    const std::wstring expected = firstFolder == L"x" ? L"1.2.3.4" : L"0.0.0.0";
    EXPECT_EQ(Find(SearchType::FileVersion, temp_ / L"hit.exe?2").versions, std::vector<std::wstring>{expected});
}

TEST_F(FileSearchTest, WildcardNameReadsTheVersionOfTheFileFound)
{
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), (temp_ / L"product-7.exe").c_str(), FALSE));
    EXPECT_EQ(Find(SearchType::FileVersion, temp_ / L"product-*.exe").versions, std::vector<std::wstring>{L"1.2.3.4"});
}

TEST_F(FileSearchTest, FolderWithTheFileNameIsNotAFile)
{
    ASSERT_TRUE(::CreateDirectoryW((temp_ / L"tool.dll").c_str(), nullptr));
    EXPECT_TRUE(Find(SearchType::FileVersion, temp_ / L"tool.dll").versions.empty());
    ASSERT_TRUE(::CreateDirectoryW((temp_ / L"sub").c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), (temp_ / L"sub\\tool.dll").c_str(), FALSE));
    EXPECT_EQ(Find(SearchType::FileVersion, temp_ / L"tool.dll?1").versions, std::vector<std::wstring>{L"1.2.3.4"});
}

// The build made linktree\walked\link (to linktree\elsewhere) and linktree\walked\loop (to
// walked itself) beside the test program.
std::wstring LinkTree()
{
    wchar_t module[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring path(module, length);
    return path.substr(0, path.rfind(L'\\') + 1) + L"linktree";
}

bool IsReparsePoint(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(find);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

TEST_F(FileSearchTest, LinkedFoldersAreNotWalked)
{
    const std::wstring tree = LinkTree();
    if (!IsReparsePoint(tree + L"\\walked\\link") || !IsReparsePoint(tree + L"\\walked\\loop"))
        GTEST_SKIP() << "the build made no symbolic links reported as reparse points";
    const std::wstring name = UniqueName(L"linked") + L".exe";
    const std::wstring target = tree + L"\\elsewhere\\" + name;
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), target.c_str(), FALSE));
    const SearchFinding direct = Find(SearchType::FileVersion, target);
    const SearchFinding throughLink = Find(SearchType::FileVersion, tree + L"\\walked\\" + name + L"?1");
    // Following walked\loop would walk walked\loop\loop\... until paths grow too long.
    const SearchFinding throughLoop = Find(SearchType::FileVersion, tree + L"\\walked\\absent.exe?100000");
    ::DeleteFileW(target.c_str());
    EXPECT_EQ(direct.versions, std::vector<std::wstring>{L"1.2.3.4"});
    EXPECT_TRUE(throughLink.versions.empty());
    EXPECT_TRUE(throughLoop.versions.empty());
}

TEST_F(FileSearchTest, BareNameIsFoundAtTheRootOfTheFirstFixedDrive)
{
    const std::vector<std::wstring> roots = FixedDriveRoots();
    ASSERT_FALSE(roots.empty());
    ASSERT_EQ(roots[0], L"C:\\");
    const std::wstring name = UniqueName(L"orvanta-bare") + L".exe";
    const std::wstring copy = L"C:\\" + name;
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), copy.c_str(), FALSE));
    const SearchFinding finding = Find(SearchType::FileVersion, name);
    ::DeleteFileW(copy.c_str());
    EXPECT_EQ(finding.versions, std::vector<std::wstring>{L"1.2.3.4"});
}

TEST_F(FileSearchTest, BareNameWithDepthIsFoundTwoLevelsBelowTheRoot)
{
    const DriveRootFolder top;
    const std::wstring level = top.Path() + L"\\b";
    ASSERT_TRUE(::CreateDirectoryW(level.c_str(), nullptr));
    const std::wstring name = UniqueName(L"orvanta-depth") + L".exe";
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), (level + L"\\" + name).c_str(), FALSE));
    EXPECT_EQ(Find(SearchType::FileVersion, name + L"?2").versions, std::vector<std::wstring>{L"1.2.3.4"});
    // Depth 1 stops above the file on every drive (Z: is walked one level only).
    EXPECT_TRUE(Find(SearchType::FileVersion, name + L"?1").versions.empty());
}

TEST(FileSearchCandidatesTest, BareNamesBecomeOneCandidatePerDrive)
{
    const std::vector<std::wstring> roots{L"C:\\", L"D:\\"};
    EXPECT_EQ(FileSearchCandidates(L"app.exe", roots), (std::vector<std::wstring>{L"C:\\app.exe", L"D:\\app.exe"}));
    EXPECT_EQ(FileSearchCandidates(L"app.exe?2", roots),
              (std::vector<std::wstring>{L"C:\\app.exe?2", L"D:\\app.exe?2"}));
    EXPECT_EQ(FileSearchCandidates(L"dir\\app.exe?2", roots), std::vector<std::wstring>{L"dir\\app.exe?2"});
    EXPECT_EQ(FileSearchCandidates(L"[SystemFolder]x.dll", roots), std::vector<std::wstring>{L"[SystemFolder]x.dll"});
    EXPECT_EQ(FileSearchCandidates(L"%WINDIR%x.dll", roots), std::vector<std::wstring>{L"%WINDIR%x.dll"});
    EXPECT_EQ(FileSearchCandidates(L"!HKCU!x.dll", roots), std::vector<std::wstring>{L"!HKCU!x.dll"});
    // A backslash in the depth suffix does not make a path.
    EXPECT_EQ(FileSearchCandidates(L"app.exe?\\", roots).size(), 2u);
}

TEST(FileSearchCandidatesTest, DepthIsTheNumberAfterTheFirstQuestionMark)
{
    std::wstring path;
    uint32_t depth = 99;
    SplitSearchDepth(L"C:\\x\\app.exe?3", path, depth);
    EXPECT_EQ(path, L"C:\\x\\app.exe");
    EXPECT_EQ(depth, 3u);
    SplitSearchDepth(L"C:\\x\\app.exe", path, depth);
    EXPECT_EQ(depth, 0u);
    SplitSearchDepth(L"app.exe?", path, depth);
    EXPECT_EQ(path, L"app.exe");
    EXPECT_EQ(depth, 0u);
    SplitSearchDepth(L"?app.exe?12x", path, depth);
    EXPECT_EQ(path, L"?app.exe");
    EXPECT_EQ(depth, 12u);
    SplitSearchDepth(L"app.exe?-5", path, depth);
    EXPECT_EQ(depth, 0u);
    SplitSearchDepth(L"app.exe?99999999999999999999", path, depth);
    EXPECT_EQ(depth, 2147483647u);
}

TEST_F(FileSearchTest, HostileTextsFindNothingAndReturn)
{
    for (const std::wstring& text :
         {std::wstring(L"[TempFolder"), std::wstring(L"%UNTERMINATED"), std::wstring(L"!HKCU\\x"),
          temp_.Path() + L"\\?99999999999999", temp_.Path() + L"\\[", std::wstring(L"\\"),
          std::wstring(40000, L'a') + L"\\b.dll?3"}) {
        EXPECT_TRUE(Find(SearchType::FileVersion, text).versions.empty());
    }
}

TEST_F(FileSearchTest, FolderNamesListSubfoldersOnly)
{
    for (const wchar_t* folder : {L"1.0", L"2.5.3", L"notes"})
        ASSERT_TRUE(::CreateDirectoryW((temp_ / folder).c_str(), nullptr));
    ASSERT_TRUE(testing_support::WriteBytes(temp_ / L"9.9.txt", "x"));
    std::vector<std::wstring> names = Find(SearchType::FolderNameVersions, temp_.Path()).versions;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"1.0", L"2.5.3", L"notes"}));
    EXPECT_EQ(Find(SearchType::FolderNameVersions, temp_.Path() + L"\\").versions.size(), 3u);

    std::vector<SearchFinding> findings;
    EXPECT_TRUE(EvaluateSearches({Search(SearchType::FolderNameVersions, temp_.Path(), L"2.0", L"3.0")}, findings, 0,
                                 false, nullptr));
    EXPECT_FALSE(EvaluateSearches({Search(SearchType::FolderNameVersions, temp_.Path(), L"9.0")}, findings, 0, false,
                                  nullptr));
}

TEST_F(FileSearchTest, FolderNamesOfMissingOrEmptyTextsAreEmpty)
{
    EXPECT_TRUE(Find(SearchType::FolderNameVersions, temp_ / L"missing").versions.empty());
    EXPECT_TRUE(Find(SearchType::FolderNameVersions, L"").versions.empty());
    EXPECT_TRUE(Find(SearchType::FolderNameVersions, L"%ORVANTA_H3_NOT_SET%").versions.empty());
}

} // namespace
