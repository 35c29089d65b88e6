#include "run/StagesWorker.h"

#include "platform/ProgressSink.h"

#include <objbase.h>

namespace orvanta {
namespace {

// COM for the worker's own apartment (installers started through the shell may need it).
class ComApartment {
public:
    ComApartment() : initialized_(SUCCEEDED(::CoInitialize(nullptr))) {}
    ~ComApartment()
    {
        if (initialized_)
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_;
};

} // namespace

void StagesWorker::Run(ProgressSink& sink)
{
    const ComApartment apartment;
    if (stages_.RunDownloadStage(&sink) != 0 || sink.IsCanceled())
        return;
    stages_.RunOpenSiteStage(&sink);
    if (sink.IsCanceled())
        return;
    if (stages_.RunInstallStage(&sink) != 0 || sink.IsCanceled())
        return;
    sink.Complete(0, 0);
}

int32_t StagesWorker::FinalResult()
{
    if (stages_.Reboot().inProgress)
        return ProgressCanceledOrRebooting;
    run_.Recheck(config_);
    return run_.MandatoryCheck(config_) ? ProgressDone : ProgressMandatoryMissing;
}

} // namespace orvanta
