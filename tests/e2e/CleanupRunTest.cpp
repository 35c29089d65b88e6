// The deferred cleanup of a real run: the chainer deletes the listed files and its INI file and
// hands the rest to the package's script through powershell.exe, which a fixture has replaced
// in the test prefix by a recorder of its working folder and command line. The rules for every
// kind of entry and folder are tests/run/CleanupRulesTest.cpp.
#include "TestSupport.h"
#include "platform/TempFolder.h"

#include <gtest/gtest.h>
#include <shlobj.h>

using namespace testing_support;

namespace {

const char kScript[] = "param($paths, $retry_count)\r\n# the package's cleanup script\r\n";

std::wstring ValueOf(const std::wstring& record, const std::wstring& name)
{
    const size_t start = record.find(name + L"=");
    if (start == std::wstring::npos)
        return {};
    const size_t end = record.find(L"\r\n", start);
    return record.substr(start + name.size() + 1, end - start - name.size() - 1);
}

class CleanupRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        record = outside / L"powershell.txt";
        ::SetEnvironmentVariableW(L"ORVANTA_POWERSHELL_RECORD", record.c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"ORVANTA_POWERSHELL_RECORD", nullptr); }

    // The chainer as <root>\<folder>\setup.exe with its INI beside it.
    std::wstring PlaceChainer(const std::wstring& folder, const std::vector<std::wstring>& ini)
    {
        const std::wstring chainerFolder = root / folder;
        ::SHCreateDirectoryExW(nullptr, chainerFolder.c_str(), nullptr);
        const std::wstring chainer = chainerFolder + L"\\setup.exe";
        EXPECT_TRUE(::CopyFileW(EnvironmentValue(L"ORVANTA_CHAINER").c_str(), chainer.c_str(), FALSE));
        std::wstring text;
        for (const std::wstring& line : ini)
            text += line + L"\r\n";
        EXPECT_TRUE(WriteUtf16File(chainerFolder + L"\\setup.ini", text));
        return chainer;
    }
    void MakeFile(const std::wstring& path, const std::string& content = "x")
    {
        ::SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(path, content));
    }

    TempDir root;
    TempDir outside;
    std::wstring record;
};

} // namespace

TEST_F(CleanupRun, ListedFilesInsideTheCleanupFolderGoAndTheRestIsHandedToTheScript)
{
    const std::wstring r = root.Path();
    MakeFile(r + L"\\data\\one.txt");
    MakeFile(r + L"\\Sub\\two.txt");
    MakeFile(r + L"\\shared\\three.txt");
    MakeFile(r + L"\\shared\\other.txt");
    MakeFile(r + L"\\folder\\inside.txt");
    MakeFile(outside / L"victim.txt");
    MakeFile(r + L"\\clean.ps1", kScript);
    const std::wstring outsideName = outside.Path().substr(outside.Path().rfind(L'\\') + 1);
    const std::wstring files = r + L"\\data\\one.txt\x0001" + r + L"\\Sub\\two.txt\x0001" + r +
                               L"\\shared\\three.txt\x0001" + r + L"\\folder\x0001" + r +
                               L"\\data\\..\\..\\" + outsideName + L"\\victim.txt\x0001" + outside.Path() +
                               L"\\victim.txt\x0001" + r + L"\\missing.txt";
    const std::wstring chainer = PlaceChainer(L"Sub", {L"[GeneralOptions]", L"Options=q", L"[PREREQ_CHAINER]",
                                                        L"LogFile=" + (outside / L"run.log"), L"CleanupFiles=" + files,
                                                        L"CleanupFolders=" + r, L"CleanupScript=" + r + L"\\clean.ps1"});

    const ProcessResult result = RunProcess(L"\"" + chainer + L"\"", outside.Path());
    ASSERT_TRUE(result.finished && result.exitCode == 0) << result.exitCode;

    // Deleted: the listed files inside the folder, the INI file, and the folder left empty.
    EXPECT_FALSE(FileExists(r + L"\\data\\one.txt"));
    EXPECT_FALSE(FileExists(r + L"\\data"));
    EXPECT_FALSE(FileExists(r + L"\\Sub\\two.txt"));
    EXPECT_FALSE(FileExists(r + L"\\Sub\\setup.ini"));
    EXPECT_FALSE(FileExists(r + L"\\shared\\three.txt"));
    // Kept: a folder, everything outside the cleanup folder, unlisted files (wildcards are
    // CleanupRulesTest's rows).
    EXPECT_TRUE(FileExists(r + L"\\shared\\other.txt"));
    EXPECT_TRUE(FileExists(r + L"\\folder\\inside.txt"));
    EXPECT_TRUE(FileExists(outside / L"victim.txt"));
    EXPECT_TRUE(FileExists(chainer));

    WaitUntil([&] { return FileExists(record); });  // the recorder runs on after the chainer ended
    const std::wstring recorded = ReadUtf16File(record);
    ASSERT_FALSE(recorded.empty()) << "powershell.exe was not started";
    EXPECT_EQ(_wcsicmp(ValueOf(recorded, L"cwd").c_str(), r.c_str()), 0) << recorded;
    const std::wstring commandLine = ValueOf(recorded, L"cmdline");
    const std::wstring before = L" -NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command \"";
    const size_t start = commandLine.find(before);
    ASSERT_NE(start, std::wstring::npos) << commandLine;
    const std::wstring command = commandLine.substr(start + before.size());
    const size_t scriptEnd = command.find(L" -paths ");
    ASSERT_NE(scriptEnd, std::wstring::npos) << command;
    const std::wstring copy = command.substr(0, scriptEnd);
    // The chainer's folder is handed on: once two.txt and the INI file are gone it holds only
    // the chainer. The cleanup folder itself never is.
    EXPECT_EQ(command.substr(scriptEnd), L" -paths '" + r + L"\\clean.ps1','" + chainer + L"','" + r +
                                             L"\\Sub' -retry_count 10\"");
    const std::wstring copyStart = orvanta::GetTempFolder() + L"\\OV_";
    EXPECT_EQ(_wcsicmp(copy.substr(0, copyStart.size()).c_str(), copyStart.c_str()), 0) << copy;
    EXPECT_EQ(copy.substr(copy.size() - 4), L".ps1");
    EXPECT_EQ(ReadBytes(copy), kScript);
    ::DeleteFileW(copy.c_str());
}
