// file: URLs: the share copy through CopyFileExW into the ".part" file.
#include "DownloadTestSupport.h"

using namespace orvanta;
using namespace download_testing;
using testing_support::FileExists;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return bytes;
}

class ShareCopy : public ::testing::Test {
protected:
    // Puts `content` into the source folder as `name` and returns its file: URL.
    std::wstring Source(const std::wstring& name, const std::string& content)
    {
        EXPECT_TRUE(WriteBytes(source / name, content));
        return FileUrl(source / name);
    }

    TempDir source;
    TempDir dir;
    const std::wstring target = dir / L"a.exe";
    RecordingSink sink;
};

} // namespace

// The stage tests copy from shares into nested folders and check what is left; here what only
// the engine shows: the progress of the copy, which never resumes a stale ".part" file.
TEST_F(ShareCopy, StalePartFileIsNeverResumedAndTheCopyReportsItsProgress)
{
    ASSERT_TRUE(WriteBytes(target + L".part", std::string(20000, 'k')));
    const std::string content = Pattern(300007);
    InternetDownloader downloader(&sink, nullptr, nullptr, Checking(content.size()));
    ASSERT_EQ(downloader.Download(Source(L"a.exe", content), target), 0u);
    EXPECT_EQ(ReadBytes(target), content);
    EXPECT_FALSE(FileExists(target + L".part"));
    EXPECT_EQ(sink.progress.load(), content.size());
    EXPECT_EQ(sink.transfersCompleted.load(), 1);
    EXPECT_TRUE(sink.Errors().empty());
}

TEST_F(ShareCopy, MissingSourceWildcardOrOtherSizeFailsWithoutAFile)
{
    InternetDownloader downloader(&sink, nullptr);
    EXPECT_EQ(downloader.Download(FileUrl(source / L"missing.exe"), target), 2u);
    ExpectOneFailure(sink, 2u, L"a.exe");
    // A wildcard matches no other file.
    Source(L"real.exe", "x");
    EXPECT_NE(downloader.Download(FileUrl(source / L"*.exe"), target), 0u);
    EXPECT_FALSE(FileExists(target));

    RecordingSink sizeSink;
    InternetDownloader sized(&sizeSink, nullptr, nullptr, Checking(999));
    EXPECT_EQ(sized.Download(Source(L"a.exe", Pattern(1000)), target), DLERR_SIZE_MISMATCH);
    EXPECT_FALSE(FileExists(target));
    ExpectOneFailure(sizeSink, DLERR_SIZE_MISMATCH, L"a.exe");
}
