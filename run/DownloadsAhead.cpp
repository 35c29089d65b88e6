#include "run/DownloadsAhead.h"

#include "platform/FaultTranslation.h"

#include <new>

namespace orvanta {

void SharedSink::SetRange(uint32_t total, StageSteps steps)
{
    const CriticalSectionLock lock(lock_);
    if (inner_ != nullptr)
        inner_->SetRange(total, steps);
}

void SharedSink::BeginTransfer(uint32_t kind, uint64_t length, const std::wstring& path)
{
    const CriticalSectionLock lock(lock_);
    if (inner_ != nullptr)
        inner_->BeginTransfer(kind, length, path);
}

void SharedSink::Complete(uint32_t kind, uint32_t reserved)
{
    const CriticalSectionLock lock(lock_);
    if (inner_ != nullptr)
        inner_->Complete(kind, reserved);
}

void SharedSink::AddProgress(uint64_t bytes)
{
    const CriticalSectionLock lock(lock_);
    if (inner_ != nullptr)
        inner_->AddProgress(bytes);
}

bool SharedSink::IsCanceled()
{
    return stop_ || ending_ || (inner_ != nullptr && inner_->IsCanceled());
}

uint32_t SharedSink::ReportError(const wchar_t* text, uint32_t code)
{
    const CriticalSectionLock lock(lock_);
    errorShown_ = true;  // the line keeps the failure until the next download step
    return inner_ != nullptr ? inner_->ReportError(text, code) : code;
}

void SharedSink::SetStatus(const std::wstring& text, uint32_t kind, uint32_t reserved)
{
    const CriticalSectionLock lock(lock_);
    downloadText_ = text;
    errorShown_ = false;
    if (inner_ == nullptr)
        return;
    inner_->SetStatus(text, kind, reserved);
    if (installing_)
        inner_->ShowActivity(installText_);
}

void SharedSink::BeginInstall(const std::wstring& text)
{
    const CriticalSectionLock lock(lock_);
    installing_ = true;
    installText_ = text;
    if (inner_ != nullptr)
        inner_->ShowActivity(text);
}

void SharedSink::EndInstall()
{
    const CriticalSectionLock lock(lock_);
    installing_ = false;
    if (inner_ != nullptr && downloading_ && !errorShown_ && !downloadText_.empty())
        inner_->ShowActivity(downloadText_);
}

void SharedSink::DownloadsEnded()
{
    const CriticalSectionLock lock(lock_);
    downloading_ = false;
}

DownloadsAhead::DownloadsAhead(const std::vector<DownloadJob>& jobs, DownloadContext context,
                               const std::atomic<bool>& ending, DownloadFinished finished)
    : jobs_(jobs), context_(std::move(context)), finished_(std::move(finished)), sink_(context_.sink, stop_, ending),
      results_(jobs.size()), done_(jobs.size(), false), changed_(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    context_.sink = &sink_;
    context_.stop = &stop_;
    if (!changed_)
        throw std::bad_alloc();
    thread_.Reset(::CreateThread(nullptr, 0, &DownloadsAhead::Thread, this, 0, nullptr));
    if (!thread_)
        RunJobs();  // no thread to spare: the downloads run first, as without downloading ahead
}

DownloadsAhead::~DownloadsAhead()
{
    Stop();
    if (thread_)
        ::WaitForSingleObject(thread_.Get(), INFINITE);
}

DWORD WINAPI DownloadsAhead::Thread(void* parameter)
{
    auto* self = static_cast<DownloadsAhead*>(parameter);
    self->failure_ = RunContained([self] { self->RunJobs(); });
    if (self->failure_) {
        const CriticalSectionLock lock(self->lock_);
        self->ended_ = true;  // a waiting install must not wait for a job that will never run
        ::SetEvent(self->changed_.Get());
    }
    return 0;
}

void DownloadsAhead::RunJobs()
{
    stageResult_ = RunDownloadJobs(jobs_, context_, [this](size_t index, const DownloadResult& result) {
        Record(index, result);
    });
    if (stageResult_ != 0)
        stageFailed_ = true;
    sink_.DownloadsEnded();
    const CriticalSectionLock lock(lock_);
    ended_ = true;
    ::SetEvent(changed_.Get());
}

void DownloadsAhead::Record(size_t index, const DownloadResult& result)
{
    // A stage that ends with this job is known as failed before the job's install looks.
    if (EndsStage(jobs_.at(index), result))
        stageFailed_ = true;
    if (finished_)
        finished_(index, result);
    const CriticalSectionLock lock(lock_);
    results_.at(index) = result;
    done_.at(index) = true;
    ::SetEvent(changed_.Get());
}

DownloadResult DownloadsAhead::WaitFor(size_t index)
{
    for (;;) {
        {
            const CriticalSectionLock lock(lock_);
            if (done_.at(index) || ended_)
                return results_[index];
        }
        ::WaitForSingleObject(changed_.Get(), INFINITE);
    }
}

uint32_t DownloadsAhead::Finish()
{
    if (thread_)
        ::WaitForSingleObject(thread_.Get(), INFINITE);
    if (failure_)
        std::rethrow_exception(failure_);
    return stageResult_;
}

} // namespace orvanta
