#include "platform/Logger.h"
#include "platform/Text.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>
#include <vector>

using namespace orvanta;
using testing_support::BesideTestProgram;
using testing_support::IsReparsePoint;
using testing_support::ReadBytes;
using testing_support::ReadUtf16File;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override { Logger::Instance().ResetForTesting(); }
    void TearDown() override { Logger::Instance().ResetForTesting(); }
};

// Logs one line to `path`; the path the logger ended up with (its fallback file is deleted).
std::wstring LogOnceTo(const std::wstring& path)
{
    Logger::Instance().SetLogFile(path);
    Logger::Instance().Log(L"planted?");
    const std::wstring used = Logger::Instance().CurrentPath();
    Logger::Instance().ResetForTesting();
    if (used != path)
        ::DeleteFileW(used.c_str());
    return used;
}

} // namespace

TEST_F(LoggerTest, NewFileHasByteOrderMarkHeaderTimeStampedLinesAndAFooter)
{
    TempDir dir;
    const std::wstring path = dir / L"run.log";
    Logger::Instance().SetLogFile(path);
    Logger::Instance().Log(L"Searching for:First");
    Logger::Instance().Log(L"");

    const std::string bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
    const std::wstring text = ReadUtf16File(path);
#if defined(_WIN64)
    EXPECT_TRUE(StartsWith(text, L"\r\n<< Orvanta (x64) Log >>\r\nOS Version: "));
#else
    EXPECT_TRUE(StartsWith(text, L"\r\n<< Orvanta (x86) Log >>\r\nOS Version: "));
#endif
    const std::wregex header(L"\r\nOS Version: \\d+\\.\\d+\\.\\d+ SP\\d+ \\((workstation|server)\\) \\[(x64|x86)\\]\r\n"
                             L"CPU: [^\r\n]*\r\n\r\n");
    EXPECT_TRUE(std::regex_search(text, header));
    EXPECT_EQ(text.find(L'\0'), std::wstring::npos) << "the CPU name is cut at its terminator";
    const std::wregex line(L"\r\n\r\n\\d{4}-\\d{2}-\\d{2} \\d{2}-\\d{2}-\\d{2}-Searching for:First\r\n"
                           L"\\d{4}-\\d{2}-\\d{2} \\d{2}-\\d{2}-\\d{2}-\r\n$");
    EXPECT_TRUE(std::regex_search(text, line)) << std::string(text.begin(), text.end());

    // Setting the open path again keeps the file; the footer ends with a blank line.
    Logger::Instance().SetLogFile(path);
    Logger::Instance().WriteFooter();
    const std::wstring ended = ReadUtf16File(path);
    EXPECT_EQ(ended.find(L"Log >>"), ended.rfind(L"Log >>")) << "one header only";
    EXPECT_TRUE(EndsWith(ended, L"-=====================End of Log=====================\r\n\r\n"));
}

// Each line reaches the file in one write: a reader of the file meanwhile sees it grow by whole
// lines only. The lines are one page each and start at a page boundary, so that the host's file
// system, too, makes a write visible whole or not at all.
TEST_F(LoggerTest, ConcurrentReaderSeesTheFileGrowByWholeLinesOnly)
{
    const size_t page = 4096;
    const size_t lineFrame = 22 * sizeof(wchar_t);  // time stamp, "-", CR LF
    TempDir dir;
    const std::wstring path = dir / L"run.log";
    Logger::Instance().SetLogFile(path);
    Logger::Instance().Log(L"");
    size_t gap = (page - ReadBytes(path).size() % page) % page;
    if (gap < lineFrame)
        gap += page;
    Logger::Instance().Log(std::wstring((gap - lineFrame) / sizeof(wchar_t), L'.'));
    const size_t start = ReadBytes(path).size();
    ASSERT_EQ(start % page, 0u);

    std::atomic<bool> written{false};
    std::vector<LONGLONG> partialSizes;
    std::thread reader([&] {
        const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        for (int poll = 0; file && !written && poll < 50000000; ++poll) {
            if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart % page != 0 && partialSizes.size() < 10)
                partialSizes.push_back(size.QuadPart);
        }
    });
    const int lines = 50;
    for (int line = 0; line < lines; ++line)
        Logger::Instance().Log(std::wstring((page - lineFrame) / sizeof(wchar_t), L'x'));
    written = true;
    reader.join();
    EXPECT_TRUE(partialSizes.empty()) << "seen mid-line at " << partialSizes.front() - start << " bytes";
    EXPECT_EQ(ReadBytes(path).size(), start + lines * page);
}

// An elevated chainer must not write through a link someone planted at its log path: a hard
// link, or logtree\logs\run.log, a symbolic link to logtree\victim.log the build made.
// (Wine 8 reports host links to folders as reparse points, links to files not: there it skips.)
TEST_F(LoggerTest, LinkPlantedAtTheLogPathIsNotWrittenThrough)
{
    TempDir dir;
    const std::wstring hardVictim = dir / L"victim.txt";
    const std::wstring hardLink = dir / L"hard.log";
    ASSERT_TRUE(WriteBytes(hardVictim, "untouched"));
    ASSERT_TRUE(::CreateHardLinkW(hardLink.c_str(), hardVictim.c_str(), nullptr));

    EXPECT_NE(LogOnceTo(hardLink), hardLink);
    EXPECT_EQ(ReadBytes(hardVictim), "untouched");

    const std::wstring tree = BesideTestProgram(L"logtree");
    const std::wstring link = tree + L"\\logs\\run.log";
    const std::wstring victim = tree + L"\\victim.log";
    ASSERT_TRUE(WriteBytes(victim, "untouched"));
    if (!IsReparsePoint(link))
        GTEST_SKIP() << "the build made no symbolic link reported as a reparse point";

    const std::wstring used = LogOnceTo(link);
    EXPECT_EQ(ReadBytes(victim), "untouched");
    EXPECT_NE(used, link);
    EXPECT_FALSE(used.empty()) << "a fallback candidate takes the log";
}

TEST(SharedLogFolder, CreatedForEveryoneButNeverALink)
{
    TempDir dir;
    EXPECT_EQ(SharedLogFolder(dir.Path()), dir / L"ORVANTA_LOGS");
    EXPECT_EQ(testing_support::AllowedEntriesOf(dir / L"ORVANTA_LOGS").count(L"S-1-1-0"), 1u);
    EXPECT_EQ(SharedLogFolder(dir.Path()), dir / L"ORVANTA_LOGS") << "an existing folder is used";
    // The fallback file there is named after the program.
    EXPECT_EQ(LogFileNameFor(L"C:\\pkg\\setup.x64.exe"), L"setup.x64.LOG");
    EXPECT_EQ(LogFileNameFor(L"C:\\pkg\\setup"), L"setup.LOG");

    // logtree\shared\ORVANTA_LOGS: a symbolic link to logtree\elsewhere, made by the build.
    const std::wstring shared = BesideTestProgram(L"logtree\\shared");
    if (!IsReparsePoint(shared + L"\\ORVANTA_LOGS"))
        GTEST_SKIP() << "the build made no symbolic link reported as a reparse point";
    EXPECT_EQ(SharedLogFolder(shared), L"");
}
