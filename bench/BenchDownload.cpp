// Figures for scripts/bench-download.sh: one measurement per process, so that the peak working
// set belongs to that measurement alone.
//   bench_download plain  URL TARGET          plain synchronous WinINet, full 51200-byte reads
//   bench_download engine URL TARGET          the chainer's download engine
//   bench_download stage  URL FOLDER SIZE [MD5 [SHA256]]
//                                             the download stage: download and the checks given
//                                             ("-" leaves a digest out)
//   bench_download md5    FILE                ComputeFileMd5
// Prints one line: "<mode> bytes=N ms=T MBps=R cpu_ms=U peak_ws_kib=K result=C" (cpu_ms: this
// process's user and kernel time, all threads).
#include "config/Config.h"
#include "download/DownloadList.h"
#include "download/DownloadStage.h"
#include "download/FileDigests.h"
#include "download/InternetDownloader.h"
#include "platform/UniqueResource.h"

#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

using namespace orvanta;

namespace {

struct InternetCloser {
    static HINTERNET Invalid() noexcept { return nullptr; }
    static void Close(HINTERNET h) noexcept { ::InternetCloseHandle(h); }
};
using Internet = UniqueResource<HINTERNET, InternetCloser>;

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

uint32_t PlainDownload(const std::wstring& url, const std::wstring& target)
{
    Internet session(::InternetOpenW(L"bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return ::GetLastError();
    Internet request(::InternetOpenUrlW(session.Get(), url.c_str(), nullptr, 0,
                                        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request)
        return ::GetLastError();
    UniqueFile file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file)
        return ::GetLastError();
    std::vector<char> buffer(51200);
    for (;;) {
        DWORD read = 0;
        if (!::InternetReadFile(request.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read))
            return ::GetLastError();
        if (read == 0)
            return 0;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer.data(), read, &written, nullptr) || written != read)
            return ::GetLastError();
    }
}

uint32_t StageDownload(const std::wstring& url, const std::wstring& folder, const std::wstring& size,
                       const std::wstring& md5, const std::wstring& sha256, std::wstring& target)
{
    ChainerConfig config;
    config.downloadFolder = folder;
    config.general.KeepFiles = KeepFilesComplete;
    PrereqInfo prereq;
    prereq.name = L"Bench";
    prereq.source = url;
    prereq.sourceKind = SourceUrl;
    prereq.ExactSize = static_cast<int64_t>(std::wcstoull(size.c_str(), nullptr, 10));
    prereq.MD5 = md5 == L"-" ? L"" : md5;
    prereq.SHA256 = sha256 == L"-" ? L"" : sha256;
    prereq.decision = Download;
    prereq.selected = true;
    config.prerequisites.push_back(prereq);
    DownloadList downloads;
    const uint32_t result = DownloadPrerequisites(config, downloads, nullptr);
    if (!downloads.items.empty())
        target = downloads.items[0].targetPath;
    if (result == 0 && !config.prerequisites[0].downloadPresent)
        return downloads.lastResult != 0 ? downloads.lastResult : 1603;
    return result;
}

int Usage()
{
    std::fwprintf(stderr,
                  L"usage: bench_download plain|engine URL TARGET | stage URL FOLDER SIZE [MD5 [SHA256]] | md5 FILE\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return Usage();
    const std::wstring mode = argv[1];
    std::wstring measured;
    uint32_t result = 0;
    const double start = NowMs();
    if (mode == L"plain" && argc == 4) {
        measured = argv[3];
        result = PlainDownload(argv[2], measured);
    } else if (mode == L"engine" && argc == 4) {
        measured = argv[3];
        InternetDownloader downloader(nullptr, nullptr);
        result = downloader.Download(argv[2], measured);
    } else if (mode == L"stage" && argc >= 5 && argc <= 7) {
        result = StageDownload(argv[2], argv[3], argv[4], argc > 5 ? argv[5] : L"-", argc > 6 ? argv[6] : L"-",
                               measured);
    } else if (mode == L"md5" && argc == 3) {
        measured = argv[2];
        char hex[33];
        result = ComputeFileMd5(measured, hex) ? 0 : 1;
    } else {
        return Usage();
    }
    const double elapsed = NowMs() - start;

    FILETIME created, exited, kernel, user;
    double cpuMs = 0;
    if (::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        auto ms = [](const FILETIME& t) {
            return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
        };
        cpuMs = ms(kernel) + ms(user);
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    const uint64_t bytes = FileSize(measured);
    std::printf("%ls bytes=%llu ms=%.1f MBps=%.1f cpu_ms=%.0f peak_ws_kib=%llu result=%u\n", mode.c_str(),
                static_cast<unsigned long long>(bytes), elapsed,
                elapsed > 0 ? static_cast<double>(bytes) / 1e6 / (elapsed / 1000.0) : 0.0, cpuMs,
                static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024), result);
    return result == 0 ? 0 : 1;
}
