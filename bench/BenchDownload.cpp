// Figures for scripts/bench-download.sh: one measurement per process, so that the peak working
// set belongs to that measurement alone.
//   bench_download plain  URL TARGET          plain synchronous WinINet, full 51200-byte reads
//   bench_download engine URL TARGET          the chainer's download engine
//   bench_download stage  URL FOLDER SIZE [MD5 [SHA256]]
//                                             the download stage: download and the checks given
//                                             ("-" leaves a digest out)
//   bench_download stage-signer URL FOLDER SIZE PINS
//                                             the stage checking SIZE and the Signer value PINS
//   bench_download signer FILE PINS           CheckSigner alone on a file already on disk
//   bench_download md5    FILE                ComputeFileMd5
//   bench_download digest md5|sha256|sha256-portable|both MIB
//                                             a digest of MIB MiB in memory (both: MD5 and
//                                             SHA-256 through StreamHasher, as a download does)
// Prints one line: "<mode> bytes=N ms=T MBps=R cpu_ms=U peak_ws_kib=K result=C" (cpu_ms: this
// process's user and kernel time, all threads).
#include "download/DownloadList.h"
#include "download/DownloadStage.h"
#include "download/DownloadTargets.h"
#include "download/FileDigests.h"
#include "download/InternetDownloader.h"
#include "download/Md5.h"
#include "download/Sha256.h"
#include "download/SignerCheck.h"
#include "download/SignerPins.h"
#include "download/StreamHasher.h"
#include "platform/Strings.h"
#include "platform/UniqueResource.h"

#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <algorithm>
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
                       const std::wstring& md5, const std::wstring& sha256, std::wstring& target,
                       const std::wstring& pins = L"")
{
    DownloadJob job;
    job.expected.signerGiven = !pins.empty();
    if (job.expected.signerGiven && !ParseSignerPins(pins, job.expected.signers))
        return ERROR_INVALID_PARAMETER;
    job.name = L"Bench";
    job.url = url;
    job.expected.size = std::wcstoull(size.c_str(), nullptr, 10);
    job.expected.md5 = md5 == L"-" ? L"" : md5;
    job.expected.sha256 = sha256 == L"-" ? L"" : sha256;
    DownloadList downloads;
    DownloadContext context;
    context.downloads = &downloads;
    context.downloadFolder = WithTrailingBackslash(folder);
    context.keepFiles = true;
    const DownloadResult result = RunDownloadJob(job, context);
    target = TargetPathFor(context.downloadFolder, url, L"");
    return result.code;
}

// CheckSigner on `path`; a Signer value that does not parse counts as a failure of the bench.
uint32_t CheckSignerText(const std::wstring& path, const std::wstring& pinsText)
{
    std::vector<KeyHash> pins;
    if (!ParseSignerPins(pinsText, pins))
        return ERROR_INVALID_PARAMETER;
    return CheckSigner(path, pins);
}

// Hashes `mib` MiB of arbitrary bytes, fed in the download engine's read size; the bytes are
// made before the clock starts.
uint32_t DigestInMemory(const std::wstring& algorithm, uint64_t mib, double& start)
{
    std::vector<uint8_t> data(static_cast<size_t>(mib) * 1024 * 1024);
    uint32_t seed = 12345;
    for (uint8_t& byte : data) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    const size_t piece = 256 * 1024;
    auto feed = [&](auto& digest) {
        for (size_t offset = 0; offset < data.size(); offset += piece)
            digest.Update(data.data() + offset, std::min(piece, data.size() - offset));
    };
    start = NowMs();
    if (algorithm == L"md5") {
        Md5 md5;
        feed(md5);
        md5.Finish();
    } else if (algorithm == L"sha256" || algorithm == L"sha256-portable") {
        Sha256 sha256(algorithm == L"sha256" ? Sha256::Engine::Fastest : Sha256::Engine::Portable);
        feed(sha256);
        sha256.Finish();
    } else if (algorithm == L"both") {
        StreamHasher hasher(true, true);
        for (size_t offset = 0; offset < data.size(); offset += piece)
            hasher.Feed(data.data() + offset, std::min(piece, data.size() - offset));
        hasher.Finish();
    } else {
        return 1;
    }
    return 0;
}

int Usage()
{
    std::fwprintf(stderr,
                  L"usage: bench_download plain|engine URL TARGET | stage URL FOLDER SIZE [MD5 [SHA256]]"
                  L" | stage-signer URL FOLDER SIZE PINS | signer FILE PINS | md5 FILE"
                  L" | digest md5|sha256|sha256-portable|both MIB\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return Usage();
    std::wstring mode = argv[1];
    std::wstring measured;
    uint32_t result = 0;
    uint64_t bytes = 0;  // when no file holds what was measured
    double start = NowMs();
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
    } else if (mode == L"stage-signer" && argc == 6) {
        result = StageDownload(argv[2], argv[3], argv[4], L"-", L"-", measured, argv[5]);
    } else if (mode == L"signer" && argc == 4) {
        measured = argv[2];
        result = CheckSignerText(measured, argv[3]);
    } else if (mode == L"md5" && argc == 3) {
        measured = argv[2];
        char hex[33];
        result = ComputeFileMd5(measured, hex) ? 0 : 1;
    } else if (mode == L"digest" && argc == 4) {
        const uint64_t mib = std::wcstoull(argv[3], nullptr, 10);
        bytes = mib * 1024 * 1024;
        mode += L"-" + std::wstring(argv[2]);
        result = DigestInMemory(argv[2], mib, start);
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
    if (bytes == 0)
        bytes = FileSize(measured);
    std::printf("%ls bytes=%llu ms=%.1f MBps=%.1f cpu_ms=%.0f peak_ws_kib=%llu result=%u\n", mode.c_str(),
                static_cast<unsigned long long>(bytes), elapsed,
                elapsed > 0 ? static_cast<double>(bytes) / 1e6 / (elapsed / 1000.0) : 0.0, cpuMs,
                static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024), result);
    return result == 0 ? 0 : 1;
}
