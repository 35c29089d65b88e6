// The download stage over file: URLs (the engine's share copy) and HTTP from a server on
// 127.0.0.1: what is fetched, the checks of size, MD5 and SHA-256, the log lines, the sink
// calls and what is left for deletion at the end of the run.
#include "download/DownloadList.h"
#include "download/DownloadStage.h"
#include "download/InternetDownloader.h"
#include "platform/SystemError.h"

#include "DownloadTestSupport.h"

#include <algorithm>

using namespace orvanta;
using download_testing::RecordingSink;
using testing_support::ContainsLine;
using testing_support::FileExists;
using testing_support::TempDir;

namespace {

const char kPayload[] = "payload of a setup program";
const uint32_t kPayloadSize = sizeof(kPayload) - 1;
const wchar_t kPayloadMd5[] = L"ce87fe71e8283aa6296e2083d92ea6ff";

class DownloadStageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CreateDirectoryW(source.c_str(), nullptr);
        ASSERT_TRUE(testing_support::WriteBytes(source + L"\\setup.exe", kPayload));
    }
    DownloadJob& AddDownload(const std::wstring& name, const std::wstring& url, uint64_t exactSize = 0,
                             const std::wstring& md5 = L"", bool mandatory = false)
    {
        DownloadJob job;
        job.name = name;
        job.url = url;
        job.expected.size = exactSize;
        job.expected.md5 = md5;
        job.mandatory = mandatory;
        jobs.push_back(job);
        return jobs.back();
    }

    std::wstring FileSourceUrl(const std::wstring& name = L"setup.exe") const
    {
        return download_testing::FileUrl(source + L"\\" + name);
    }
    uint32_t Run(RecordingSink* sink = nullptr, DownloadList* list = nullptr)
    {
        DownloadContext context;
        context.downloads = list != nullptr ? list : &downloads;
        context.downloadFolder = downloadFolder + L"\\";
        context.keepFiles = keepFiles;
        context.stageText = L"Downloading %s";
        context.sink = sink;
        results.assign(jobs.size(), DownloadResult());
        return RunDownloadJobs(jobs, context, [this](size_t job, const DownloadResult& result) { results[job] = result; });
    }
    std::vector<std::wstring> LogLines() const { return log.Lines(); }
    std::wstring LogText() const { return log.Text(); }

    testing_support::LogCapture log;
    TempDir dir;
    const std::wstring source = dir / L"source";
    const std::wstring downloadFolder = dir / L"downloads";
    const std::wstring target = downloadFolder + L"\\setup.exe";
    std::vector<DownloadJob> jobs;
    std::vector<DownloadResult> results;
    bool keepFiles = false;
    DownloadList downloads;
    RecordingSink sink;
};

} // namespace

TEST_F(DownloadStageTest, AcceptedDownloadsAreLoggedMarkedPresentKeptRegisteredOverRunsAndDeletedAtTheEnd)
{
    AddDownload(L"App", FileSourceUrl(), kPayloadSize, kPayloadMd5);
    EXPECT_EQ(Run(), 0u);
    EXPECT_TRUE(results[0].Accepted());
    EXPECT_EQ(results[0].path, target);
    EXPECT_EQ(testing_support::ReadBytes(target), kPayload);
    EXPECT_FALSE(FileExists(target + L".part"));
    EXPECT_EQ(downloads.FilesToDelete(), std::vector<std::wstring>{target});

    const std::vector<std::wstring> expected{L"Starting download of:App", L"Download completed succesfully.",
                                             L"Downloaded file was accepted."};
    std::vector<std::wstring> lines = LogLines();
    lines.erase(lines.begin(), std::find(lines.begin(), lines.end(), expected[0]));
    lines.resize(std::min(lines.size(), expected.size()));
    EXPECT_EQ(lines, expected);
    // A second run of the stage keeps the earlier file registered.
    const std::wstring second = downloadFolder + L"\\other.exe";
    ASSERT_TRUE(testing_support::WriteBytes(source + L"\\other.exe", kPayload));
    jobs.clear();
    AddDownload(L"Second", FileSourceUrl(L"other.exe"));
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(downloads.FilesToDelete(), (std::vector<std::wstring>{target, second}));
    // Discarding the list deletes the files and the download folder the stage had created.
    downloads.DeleteRegistered();
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(FileExists(second));
    EXPECT_FALSE(FileExists(downloadFolder));
}

TEST_F(DownloadStageTest, KeptFilesAreNotRegisteredForDeletion)
{
    keepFiles = true;
    AddDownload(L"App", FileSourceUrl());
    {
        DownloadList list;
        EXPECT_EQ(Run(nullptr, &list), 0u);
        EXPECT_TRUE(list.FilesToDelete().empty());
        EXPECT_TRUE(list.FoldersToDelete().empty());
    }
    EXPECT_TRUE(FileExists(target));
}

TEST_F(DownloadStageTest, WrongMd5RejectsDeletesAndStopsTheStage)
{
    AddDownload(L"App", FileSourceUrl(), kPayloadSize, L"0cc175b9c0f1b6a831c399e269772661");
    AddDownload(L"Later", FileSourceUrl());
    // Which digests reject a file is the digest table's; here the transfer's own line and the
    // stop of the stage.
    EXPECT_EQ(Run(&sink), 1603u);
    EXPECT_FALSE(FileExists(target));
    const auto lines = LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Download completed succesfully."));
    EXPECT_FALSE(ContainsLine(lines, L"Starting download of:Later"));
    ASSERT_EQ(sink.Errors().size(), 1u);
    EXPECT_EQ(sink.Errors()[0].text, L"The downloaded file does not match its MD5.");
    EXPECT_TRUE(ContainsLine(lines, L"The downloaded file does not match its MD5."));
}

TEST_F(DownloadStageTest, EveryGivenDigestMustMatchFromAShareOverHttpAndAfterADrop)
{
    REQUIRE_TEST_SERVERS();
    // Larger than the fault server's drop offset, which cuts no block boundary.
    std::string payload(400000, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 131 + (i >> 9));
    const std::wstring goodMd5 = download_testing::Md5Hex(payload);
    const std::wstring goodSha256 = download_testing::Sha256Hex(payload);
    std::wstring otherSha256 = goodSha256;
    otherSha256[63] = otherSha256[63] == L'0' ? L'1' : L'0';

    const struct {
        std::wstring md5;
        std::wstring sha256;
        bool accepted;
        const wchar_t* failedKey;
    } cases[] = {
        {L"", goodSha256, true, nullptr},
        {goodMd5, goodSha256, true, nullptr},
        {L"", otherSha256, false, L"SHA256"},
        {goodMd5, otherSha256, false, L"SHA256"},  // both keys: both must match
        {L"0cc175b9c0f1b6a831c399e269772661", goodSha256, false, L"MD5"},
    };
    int round = 0;
    for (const auto& c : cases) {
        for (int transport = 0; transport < 3; ++transport) {
            jobs.clear();
            const std::wstring name = L"stage-digest-" + std::to_wstring(round++) + L".exe";
            ASSERT_TRUE(testing_support::WriteBytes(source + L"\\" + name, payload));
            ASSERT_TRUE(download_testing::ServeFile(name, payload));
            const std::wstring url = transport == 0   ? FileSourceUrl(name)
                                     : transport == 1 ? download_testing::Servers().NginxUrl(name)
                                                      : download_testing::Servers().FaultUrl(L"/drop/333333/" + name);
            AddDownload(L"App", url, payload.size(), c.md5, true).expected.sha256 = c.sha256;
            RecordingSink stageSink;
            EXPECT_EQ(Run(&stageSink), c.accepted ? 0u : 1603u) << c.md5 << " " << c.sha256 << " " << url;
            EXPECT_EQ(results[0].Accepted(), c.accepted) << url;
            EXPECT_EQ(FileExists(downloadFolder + L"\\" + name), c.accepted) << url;
            if (!c.accepted) {
                ASSERT_EQ(stageSink.Errors().size(), 1u) << url;
                EXPECT_EQ(stageSink.Errors()[0].code, DLERR_REJECTED);
                EXPECT_EQ(stageSink.Errors()[0].text,
                          L"The downloaded file does not match its " + std::wstring(c.failedKey) + L".");
            }
        }
    }
    const auto lines = LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Downloaded file was accepted."), 6);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Downloaded file was rejected.(Invalid size or MD5)."), 9);
}

TEST_F(DownloadStageTest, MandatoryFailureStopsTheStageOptionalFailureGoesOn)
{
    AddDownload(L"Missing", FileSourceUrl(L"not-there.exe"), 0, L"", true);
    AddDownload(L"Later", FileSourceUrl());
    EXPECT_EQ(Run(&sink), 1603u);
    EXPECT_NE(results[0].code, 0u);
    EXPECT_EQ(results[1].code, DownloadResult::kNotDownloaded);
    // The error code's line, then the words that the status line shows too.
    const std::wstring mandatory = L"Missing could not be downloaded: ";
    ASSERT_FALSE(sink.Errors().empty());
    EXPECT_EQ(sink.Errors().back().text.rfind(mandatory, 0), 0u);
    const std::wstring words = sink.Errors().back().text.substr(mandatory.size());
    EXPECT_NE(words.find(L"File not found"), std::wstring::npos) << words;
    const auto lines = LogLines();
    const auto failed = std::find_if(lines.begin(), lines.end(), [](const std::wstring& line) {
        return line.rfind(L"Download failed. Error:", 0) == 0;
    });
    ASSERT_NE(failed, lines.end());
    // The system's text ends in a line break of its own.
    const auto next = std::find_if(failed + 1, lines.end(), [](const std::wstring& line) { return !line.empty(); });
    ASSERT_NE(next, lines.end());
    EXPECT_EQ(*next, words);
    EXPECT_FALSE(ContainsLine(LogLines(), L"Starting download of:Later"));
    EXPECT_FALSE(FileExists(target));
    EXPECT_EQ(sink.Errors().back().code, DLERR_MANDATORY_FAILED);

    jobs[0].mandatory = false;
    EXPECT_EQ(Run(), 0u);
    EXPECT_FALSE(results[0].Accepted());
    EXPECT_TRUE(results[1].Accepted());
    EXPECT_TRUE(ContainsLine(LogLines(), L"Starting download of:Later"));
}

TEST_F(DownloadStageTest, SinkSeesTheRangeAndOneStatusPerItemAndCancellationStopsBetweenItems)
{
    AddDownload(L"First", FileSourceUrl());
    AddDownload(L"Second", FileSourceUrl(L"other.exe"));
    sink.cancelAfterStatuses = 1;
    EXPECT_EQ(Run(&sink), 0u);
    EXPECT_EQ(sink.ranges, std::vector<uint32_t>{2});
    EXPECT_EQ(sink.statuses, std::vector<std::wstring>{L"Downloading First"});
    EXPECT_EQ(sink.statusKinds, std::vector<uint32_t>{8});
    const auto lines = LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Download was canceled."));
    EXPECT_FALSE(ContainsLine(lines, L"Starting download of:Second"));
}

TEST_F(DownloadStageTest, NoJobsSetNoRange)
{
    RecordingSink idle;
    EXPECT_EQ(Run(&idle), 0u);
    EXPECT_TRUE(idle.ranges.empty());
    EXPECT_TRUE(idle.statuses.empty());
}

TEST_F(DownloadStageTest, FolderSettingNamesSubfolderAndFileAUrlWithoutANameFails)
{
    AddDownload(L"App", FileSourceUrl()).folder = L"tools\\x64?x.exe";
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(testing_support::ReadBytes(downloadFolder + L"\\tools\\x64\\x.exe"), kPayload);
    // The folders the stage created are removed again, innermost first.
    EXPECT_EQ(downloads.FoldersToDelete().size(), 3u);
    downloads.DeleteRegistered();
    EXPECT_FALSE(FileExists(downloadFolder));

    // A URL without a file name fails without writing into the folder.
    jobs.clear();
    AddDownload(L"App", L"http://localhost:1/dl/", 0, L"", true);
    EXPECT_EQ(Run(&sink), 1603u);
    EXPECT_EQ(results[0].code, static_cast<uint32_t>(ERROR_INVALID_NAME));
    EXPECT_FALSE(FileExists(downloadFolder + L"\\.part"));
    ASSERT_EQ(sink.Errors().size(), 2u);
    EXPECT_EQ(sink.Errors()[0].code, static_cast<uint32_t>(ERROR_INVALID_NAME));
    EXPECT_EQ(sink.Errors()[1].code, DLERR_MANDATORY_FAILED);
}

TEST_F(DownloadStageTest, SizeTheServerDoesNotAnnounceIsCheckedAfterTheTransfer)
{
    REQUIRE_TEST_SERVERS();
    ASSERT_TRUE(download_testing::ServeFile(L"stage-nolength.exe", kPayload));
    AddDownload(L"NoLength", download_testing::Servers().FaultUrl(L"/nolength/stage-nolength.exe"), kPayloadSize + 1);
    EXPECT_EQ(Run(&sink), 1603u);
    EXPECT_FALSE(FileExists(downloadFolder + L"\\stage-nolength.exe"));
    EXPECT_EQ(results[0].code, DLERR_REJECTED);
    EXPECT_TRUE(ContainsLine(LogLines(), L"Downloaded file was rejected.(Invalid size or MD5)."));
    ASSERT_FALSE(sink.Errors().empty());
    EXPECT_EQ(sink.Errors().back().code, DLERR_REJECTED);
}

