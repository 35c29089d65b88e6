// The downloads of a run that installs while it downloads: the jobs run in order, one transfer
// at a time, on a thread of their own, while the caller installs each prerequisite as soon as
// its own file is verified. Both threads report to one sink: the downloads move the bar, and
// the status line shows the install while one runs.
#pragma once

#include "download/DownloadStage.h"
#include "platform/CriticalSection.h"
#include "platform/ProgressSink.h"
#include "platform/UniqueResource.h"

#include <atomic>
#include <exception>
#include <vector>

namespace orvanta {

// The sink both threads share: calls are serialised, and the status line belongs to the
// install while one runs. Canceled when the person canceled or the downloads are to stop.
class SharedSink final : public ProgressSink {
public:
    // `inner` is null in a silent run; either flag makes it canceled.
    SharedSink(ProgressSink* inner, const std::atomic<bool>& stop, const std::atomic<bool>& ending)
        : inner_(inner), stop_(stop), ending_(ending)
    {
    }

    void SetRange(uint32_t total, StageSteps steps) override;
    void BeginTransfer(uint32_t kind, uint64_t length, const std::wstring& path) override;
    void Complete(uint32_t kind, uint32_t reserved) override;
    void AddProgress(uint64_t bytes) override;
    bool IsCanceled() override;
    bool IsPaused() override { return false; }
    uint32_t ReportError(const wchar_t* text, uint32_t code) override;
    // A download step begins: the bar steps; the line shows it unless an install runs.
    void SetStatus(const std::wstring& text, uint32_t kind, uint32_t reserved) override;

    // The install thread's status line.
    void BeginInstall(const std::wstring& text);
    void EndInstall();
    void DownloadsEnded();

private:
    ProgressSink* inner_;
    const std::atomic<bool>& stop_;
    const std::atomic<bool>& ending_;
    CriticalSection lock_;
    std::wstring downloadText_;
    std::wstring installText_;
    bool installing_ = false;
    bool downloading_ = true;
    bool errorShown_ = false;
};

class DownloadsAhead {
public:
    // Starts the thread at once. `context.sink` is replaced by the shared sink over it; `ending`
    // stops the downloads like Stop (the user's session ends). `finished` hears of each job that
    // ran, on the downloads' thread, whether or not an install waits for it.
    DownloadsAhead(const std::vector<DownloadJob>& jobs, DownloadContext context, const std::atomic<bool>& ending,
                   DownloadFinished finished);
    // Stops the downloads and waits for the thread.
    ~DownloadsAhead();
    DownloadsAhead(const DownloadsAhead&) = delete;
    DownloadsAhead& operator=(const DownloadsAhead&) = delete;

    // What the install thread reports through.
    SharedSink& Sink() { return sink_; }
    // Waits until job `index` has run or never will (the downloads ended before it).
    DownloadResult WaitFor(size_t index);
    // The downloads ended the stage: a file was rejected or a mandatory one failed.
    bool StageFailed() const { return stageFailed_; }
    // No further job starts; a transfer under way is abandoned.
    void Stop() { stop_ = true; }
    // Waits for the thread and rethrows what escaped it; the stage's result (0 or 1603).
    uint32_t Finish();

private:
    static DWORD WINAPI Thread(void* parameter);
    void RunJobs();
    void Record(size_t index, const DownloadResult& result);

    const std::vector<DownloadJob>& jobs_;
    DownloadContext context_;
    DownloadFinished finished_;
    std::atomic<bool> stop_{false};
    SharedSink sink_;
    CriticalSection lock_;
    std::vector<DownloadResult> results_;
    std::vector<bool> done_;
    bool ended_ = false;
    std::atomic<bool> stageFailed_{false};
    uint32_t stageResult_ = 0;
    std::exception_ptr failure_;
    UniqueHandle changed_;
    UniqueHandle thread_;
};

} // namespace orvanta
