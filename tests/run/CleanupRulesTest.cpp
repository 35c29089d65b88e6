// The decisions of the deferred cleanup: what may be deleted, what is handed to the package's
// script, how that list is pruned and the command line that hands it on; the set-up from the
// INI file and a script that cannot be copied.
#include "config/IniFile.h"
#include "platform/TempFolder.h"
#include "run/CleanupRules.h"
#include "run/DeferredCleanup.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>

using namespace orvanta;

TEST(CleanupRules, ListedFilesAreDeletedOnlyInsideTheCleanupFolder)
{
    struct Row {
        const wchar_t* entry;
        const wchar_t* folder;
        const wchar_t* deleted;  // empty: refused
    };
    const Row rows[] = {
        {L"C:\\Pkg\\a.txt", L"C:\\Pkg", L"C:\\Pkg\\a.txt"},
        {L"C:\\Pkg\\Sub\\a.txt", L"C:\\Pkg\\", L"C:\\Pkg\\Sub\\a.txt"},        // trailing backslash
        {L"C:\\Pkgs\\a.txt", L"C:\\Pkg", L""},                                 // only the name's beginning
        {L"C:\\Other\\a.txt", L"C:\\Pkg", L""},
        {L"c:\\pkg\\a.txt", L"C:\\Pkg", L""},                                  // written differently
        {L"C:\\Pkg", L"C:\\Pkg", L""},                                         // the folder itself
        {L"C:\\Pkg\\*.txt", L"C:\\Pkg", L""},                                  // wildcards
        {L"C:\\Pkg\\a?.txt", L"C:\\Pkg", L""},
        {L"C:\\Pkg\\..\\Windows\\win.ini", L"C:\\Pkg", L""},                   // ".." leaving the folder
        {L"C:\\Pkg\\Sub\\..\\b.txt", L"C:\\Pkg", L"C:\\Pkg\\b.txt"},          // ".." staying inside
        {L"C:\\Pkg\\.\\c.txt", L"C:\\Pkg", L"C:\\Pkg\\c.txt"},
        {L"C:\\..\\..\\x.txt", L"", L""},                                      // above the drive
        {L"a.txt", L"", L""},                                                  // not a full path
        {L"\\a.txt", L"", L""},
        {L"D:\\any\\file.txt", L"", L"D:\\any\\file.txt"},                     // no folder: any full path
        {L"\\\\server\\share\\pkg\\a.txt", L"\\\\server\\share\\pkg", L"\\\\server\\share\\pkg\\a.txt"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CleanupFileToDelete(row.entry, row.folder), row.deleted) << row.entry << L" in " << row.folder;
}

TEST(CleanupRules, FoldersFromTheChainerUpToTheCleanupFolder)
{
    using Folders = std::vector<std::wstring>;
    struct Row {
        const wchar_t* module;
        const wchar_t* folder;
        Folders handedOn;
    };
    const Row rows[] = {
        {L"C:\\Tmp\\Pkg\\Sub\\setup.exe", L"C:\\Tmp\\Pkg", {L"C:\\Tmp\\Pkg\\Sub"}},
        {L"C:\\Tmp\\Pkg\\A\\B\\setup.exe", L"C:\\Tmp\\Pkg\\", {L"C:\\Tmp\\Pkg\\A\\B", L"C:\\Tmp\\Pkg\\A"}},
        {L"C:\\Tmp\\Pkg\\setup.exe", L"C:\\Tmp\\Pkg", {}},
        // A folder that is not one of the chainer's folders is never met: nothing above it goes.
        {L"C:\\Tmp\\Pkg\\Sub\\setup.exe", L"C:\\Tmp\\Pk", {}},
        {L"C:\\Tmp\\Pkg\\Sub\\setup.exe", L"D:\\Elsewhere", {}},
        // Without a folder the walk ends with the drive or the share.
        {L"C:\\Tmp\\Pkg\\setup.exe", L"", {L"C:\\Tmp\\Pkg", L"C:\\Tmp", L"C:"}},
        {L"\\\\server\\share\\pkg\\setup.exe", L"", {L"\\\\server\\share\\pkg", L"\\\\server\\share"}},
        {L"setup.exe", L"", {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FoldersToHandOn(row.module, row.folder), row.handedOn) << row.module << L" to " << row.folder;
}

TEST(CleanupRules, PathsAreHandedOnOnceAndPruningKeepsFilesAndFoldersWithAtMostOneEntry)
{
    const std::map<std::wstring, size_t> entries{
        {L"C:\\Pkg\\Sub", 1}, {L"C:\\Pkg", 3}, {L"C:\\Empty", 0}, {L"C:\\Pkg\\Sub\\setup.exe", 0}, {L"C:", 40}};
    const auto count = [&](const std::wstring& path) { return entries.at(path); };
    const auto isFolder = [](const std::wstring& path) { return path.find(L".exe") == std::wstring::npos; };
    EXPECT_EQ(PruneHandOffPaths({L"C:\\Pkg\\Sub\\setup.exe", L"C:\\Pkg\\Sub", L"C:\\Pkg", L"C:\\Empty", L"C:"},
                                count, isFolder),
              (std::vector<std::wstring>{L"C:\\Pkg\\Sub\\setup.exe", L"C:\\Pkg\\Sub", L"C:\\Empty"}));

    std::vector<std::wstring> paths;
    for (const wchar_t* path : {L"C:\\Pkg\\clean.ps1", L"C:\\PKG\\CLEAN.PS1", L"", L"C:\\Pkg\\setup.exe",
                                L"c:\\pkg\\Setup.exe", L"C:\\Pkg\\Sub"})
        AddPathOnce(paths, path);
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"C:\\Pkg\\clean.ps1", L"C:\\Pkg\\setup.exe", L"C:\\Pkg\\Sub"}));
}

TEST(CleanupRules, PowerShellCommandLine)
{
    const std::vector<std::wstring> paths{L"C:\\Tmp\\Pkg\\clean.ps1", L"C:\\a b\\setup.exe", L"C:\\O'Brien"};
    EXPECT_EQ(PowerShellPathsArgument(paths), L"'C:\\Tmp\\Pkg\\clean.ps1','C:\\a b\\setup.exe','C:\\O''Brien'");
    EXPECT_EQ(PowerShellParameters(L"C:\\Temp\\OV_1A2B.ps1", {L"C:\\p1", L"C:\\p2"}, 10),
              L"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command "
              L"\"C:\\Temp\\OV_1A2B.ps1 -paths 'C:\\p1','C:\\p2' -retry_count 10\"");
    // A script path PowerShell would split at its blank is called through "&".
    EXPECT_EQ(PowerShellParameters(L"C:\\Users\\Jo Smith\\Temp\\OV_1.ps1", {L"C:\\p"}, 3),
              L"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command "
              L"\"& 'C:\\Users\\Jo Smith\\Temp\\OV_1.ps1' -paths 'C:\\p' -retry_count 3\"");
}

TEST(DeferredCleanup, NothingWithoutTheChainerSectionAndNoCopyOfAScriptThatCannotBeCopied)
{
    const auto copies = [] {
        size_t count = 0;
        WIN32_FIND_DATAW found;
        const HANDLE find = ::FindFirstFileW((GetTempFolder() + L"\\OV_*.ps1").c_str(), &found);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &found))
            ++count;
        if (find != INVALID_HANDLE_VALUE)
            ::FindClose(find);
        return count;
    };
    const size_t before = copies();
    PowerShellCleanup cleanup;
    cleanup.scriptPath = L"C:\\orvanta-no-such-folder\\clean.ps1";
    cleanup.paths = {cleanup.scriptPath};
    EXPECT_FALSE(cleanup.Run());
    EXPECT_EQ(copies(), before);
    EXPECT_TRUE(PowerShellCleanup().Run()) << "nothing to hand on is no failure";

    IniFile ini;
    ini.Parse(L"[GeneralOptions]\r\nOptions=q\r\n");
    DeferredCleanup deferred;
    deferred.SetUp(ini, L"C:\\Pkg\\setup.exe", L"C:\\Pkg\\setup.ini");
    EXPECT_TRUE(deferred.FilesToDelete().empty());
    EXPECT_TRUE(deferred.HandOffPaths().empty());
}
