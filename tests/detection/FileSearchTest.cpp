// FileVersion and FolderNameVersions searches on real files of the test prefix.
#include "SearchTestSupport.h"

#include "detection/SearchKinds.h"
#include "platform/Wow64Redirection.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvanta;
using search_tests::Find;
using search_tests::Holds;
using search_tests::Search;
using search_tests::UniqueName;
using search_tests::Versioned;
using search_tests::Versions;
using testing_support::TempDir;

namespace {

const Versions kVersioned{L"1.2.3.4"};

Versions FileVersions(const std::wstring& text)
{
    return Find(SearchType::FileVersion, text).versions;
}

class FileSearchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testing_support::FileExists(Versioned())); }

    // Copies versioned.exe (or testhelper.exe) to a path below the temporary folder.
    bool Place(const std::wstring& relative, bool versioned = true) const
    {
        const std::wstring source = versioned ? Versioned() : search_tests::Unversioned();
        return ::CopyFileW(source.c_str(), (temp_ / relative).c_str(), FALSE) != 0;
    }
    bool Folder(const std::wstring& relative) const { return ::CreateDirectoryW((temp_ / relative).c_str(), nullptr) != 0; }

    TempDir temp_;
};

TEST_F(FileSearchTest, PathDepthAndWildcardsFindTheFileVersion)
{
    // A file without version resource gives 0.0.0.0; folders are not files; ?N looks N levels down.
    ASSERT_TRUE(Place(L"plain.exe", false) && Place(L"product-7.exe"));
    ASSERT_TRUE(Folder(L"a") && Folder(L"a\\b") && Place(L"a\\b\\deep.exe"));
    ASSERT_TRUE(Folder(L"tool.dll") && Folder(L"sub") && Place(L"sub\\tool.dll"));
    const std::pair<std::wstring, Versions> cases[] = {
        {Versioned(), kVersioned},
        {temp_ / L"missing.dll", {}},
        {temp_ / L"plain.exe", {L"0.0.0.0"}},
        {temp_ / L"deep.exe", {}},
        {temp_ / L"deep.exe?1", {}},
        {temp_ / L"deep.exe?2", kVersioned},
        {temp_ / L"deep.exe?2000000000", kVersioned},
        {temp_ / L"product-*.exe", kVersioned},
        {temp_ / L"tool.dll", {}},
        {temp_ / L"tool.dll?1", kVersioned},
    };
    for (const auto& [text, versions] : cases)
        EXPECT_EQ(FileVersions(text), versions) << text;

    EXPECT_TRUE(Holds(Search(SearchType::FileVersion, Versioned(), L"1.2.3", L"1.2.3.4")));
    EXPECT_FALSE(Holds(Search(SearchType::FileVersion, Versioned(), L"1.2.3.5")));
    // The zero version only passes unbounded searches.
    const std::wstring plain = temp_ / L"plain.exe";
    EXPECT_TRUE(Holds(Search(SearchType::FileVersion, plain)));
    EXPECT_FALSE(Holds(Search(SearchType::FileVersion, plain, L"0.0.0.1")));
    EXPECT_FALSE(Holds(Search(SearchType::FileVersion, plain, L"", L"9.0")));
}

TEST_F(FileSearchTest, LinkedFoldersAreNotWalked)
{
    // The build made linktree\walked\link (to linktree\elsewhere) and linktree\walked\loop (to
    // walked itself) beside the test program.
    const std::wstring tree = search_tests::BesideTestProgram(L"linktree");
    const auto isLink = [&](const wchar_t* name) { return testing_support::IsReparsePoint(tree + name); };
    if (!isLink(L"\\walked\\link") || !isLink(L"\\walked\\loop"))
        GTEST_SKIP() << "the build made no symbolic links reported as reparse points";
    const std::wstring name = UniqueName(L"linked") + L".exe";
    const std::wstring target = tree + L"\\elsewhere\\" + name;
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), target.c_str(), FALSE));
    const Versions direct = FileVersions(target);
    const Versions throughLink = FileVersions(tree + L"\\walked\\" + name + L"?1");
    // Following walked\loop would walk walked\loop\loop\... until paths grow too long.
    const Versions throughLoop = FileVersions(tree + L"\\walked\\absent.exe?100000");
    ::DeleteFileW(target.c_str());
    EXPECT_EQ(direct, kVersioned);
    EXPECT_TRUE(throughLink.empty());
    EXPECT_TRUE(throughLoop.empty());
}

TEST_F(FileSearchTest, BareNameIsFoundBelowTheRootOfTheFirstFixedDrive)
{
    const std::vector<std::wstring> roots = FixedDriveRoots();
    ASSERT_FALSE(roots.empty());
    ASSERT_EQ(roots[0], L"C:\\");
    const std::wstring top = L"C:\\" + UniqueName(L"orvanta-search");
    const std::wstring atRoot = UniqueName(L"orvanta-bare") + L".exe";
    const std::wstring twoDown = UniqueName(L"orvanta-depth") + L".exe";
    const ScopeGuard cleanup([&] {
        ::DeleteFileW((L"C:\\" + atRoot).c_str());
        testing_support::RemoveTree(top);
    });
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), (L"C:\\" + atRoot).c_str(), FALSE));
    ASSERT_TRUE(::CreateDirectoryW(top.c_str(), nullptr) && ::CreateDirectoryW((top + L"\\b").c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), (top + L"\\b\\" + twoDown).c_str(), FALSE));
    EXPECT_EQ(FileVersions(atRoot), kVersioned);
    EXPECT_EQ(FileVersions(twoDown + L"?2"), kVersioned);
    // Depth 1 stops above the file on every drive (Z: is walked one level only).
    EXPECT_TRUE(FileVersions(twoDown + L"?1").empty());
}

TEST(SplitSearchDepthTest, DepthIsTheNumberAfterTheFirstQuestionMark)
{
    const struct {
        const wchar_t* text;
        const wchar_t* path;
        uint32_t depth;
    } cases[] = {
        {L"C:\\x\\app.exe?3", L"C:\\x\\app.exe", 3},   {L"C:\\x\\app.exe", L"C:\\x\\app.exe", 0},
        {L"app.exe?", L"app.exe", 0},                  {L"?app.exe?12x", L"?app.exe", 12},
        {L"app.exe?-5", L"app.exe", 0},                {L"app.exe?99999999999999999999", L"app.exe", 2147483647u},
    };
    for (const auto& c : cases) {
        std::wstring path;
        uint32_t depth = 99;
        SplitSearchDepth(c.text, path, depth);
        EXPECT_EQ(path, c.path) << c.text;
        EXPECT_EQ(depth, c.depth) << c.text;
    }
}

TEST_F(FileSearchTest, FolderNamesListSubfoldersOnlyAndHostileTextsFindNothing)
{
    ASSERT_TRUE(Folder(L"1.0") && Folder(L"2.5.3") && Folder(L"notes"));
    ASSERT_TRUE(testing_support::WriteBytes(temp_ / L"9.9.txt", "x"));
    Versions names = Find(SearchType::FolderNameVersions, temp_.Path()).versions;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Versions{L"1.0", L"2.5.3", L"notes"}));
    EXPECT_EQ(Find(SearchType::FolderNameVersions, temp_.Path() + L"\\").versions.size(), 3u);

    for (const std::wstring& text : {temp_ / L"missing", std::wstring(), std::wstring(L"%ORVANTA_H3_NOT_SET%")})
        EXPECT_TRUE(Find(SearchType::FolderNameVersions, text).versions.empty()) << text;

    for (const std::wstring& text :
         {std::wstring(L"[TempFolder"), std::wstring(L"%UNTERMINATED"), std::wstring(L"!HKCU\\x"),
          temp_.Path() + L"\\?99999999999999", temp_.Path() + L"\\[", std::wstring(L"\\"),
          std::wstring(40000, L'a') + L"\\b.dll?3"}) {
        EXPECT_TRUE(FileVersions(text).empty());
    }
}

// Stands in for WOW64's switch, which the 64-bit test build never meets. Switching redirection
// off changes what a system path names; here the switch changes what %ORVANTA_H3_VIEW% names
// instead, so a reference expanded after the switch would name the other folder.
struct ViewSwitch {
    static inline std::wstring redirected;
    static inline std::wstring normal;
    static inline int switchedOff = 0;
    static inline int switchedBack = 0;

    static bool Disable(void** oldValue)
    {
        ++switchedOff;
        *oldValue = nullptr;
        return ::SetEnvironmentVariableW(L"ORVANTA_H3_VIEW", redirected.c_str()) != FALSE;
    }
    static void Revert(void*)
    {
        ++switchedBack;
        ::SetEnvironmentVariableW(L"ORVANTA_H3_VIEW", normal.c_str());
    }
};
TEST_F(FileSearchTest, ReferencesAreExpandedBeforeRedirectionIsSwitchedOff)
{
    // "seen" holds the file and the folder 1.0, "other" the folder 9.9 only.
    ASSERT_TRUE(Folder(L"seen") && Folder(L"other") && Folder(L"seen\\1.0") && Folder(L"other\\9.9"));
    ASSERT_TRUE(Place(L"seen\\tool.exe"));
    ViewSwitch::normal = temp_ / L"seen";
    ViewSwitch::redirected = temp_ / L"other";
    const Wow64RedirectionSwitch viewSwitch{ViewSwitch::Disable, ViewSwitch::Revert};
    const ScopeGuard restore([] { ::SetEnvironmentVariableW(L"ORVANTA_H3_VIEW", nullptr); });

    const struct {
        decltype(&SearchFileVersion) search;
        const wchar_t* text;
        bool use64;
        Versions versions;
        int switches;
    } cases[] = {
        {&SearchFileVersion, L"%ORVANTA_H3_VIEW%\\tool.exe", true, kVersioned, 1},
        {&SearchFileVersion, L"%ORVANTA_H3_VIEW%\\tool.exe?1", true, kVersioned, 1},
        {&SearchFileVersion, L"%ORVANTA_H3_VIEW%\\tool.exe", false, kVersioned, 0},
        {&SearchFolderNames, L"%ORVANTA_H3_VIEW%", true, Versions{L"1.0"}, 1},
        {&SearchFolderNames, L"%ORVANTA_H3_VIEW%", false, Versions{L"1.0"}, 0},
    };
    for (const auto& c : cases) {
        ::SetEnvironmentVariableW(L"ORVANTA_H3_VIEW", ViewSwitch::normal.c_str());
        ViewSwitch::switchedOff = ViewSwitch::switchedBack = 0;
        SearchFinding finding;
        c.search(c.text, c.use64, finding, viewSwitch);
        EXPECT_EQ(finding.versions, c.versions) << c.text << " use64=" << c.use64;
        EXPECT_EQ(ViewSwitch::switchedOff, c.switches) << c.text;
        EXPECT_EQ(ViewSwitch::switchedBack, c.switches) << c.text << ": redirection is restored";
    }
}

} // namespace
