#include "run/StagesWorker.h"

#include "platform/ComRef.h"
#include "platform/ProgressSink.h"

namespace orvanta {

void StagesWorker::Run(ProgressSink& sink, DownloadQuestions& questions)
{
    // The worker's own apartment: installers started through the shell may need COM.
    const ComApartment apartment(COINIT_APARTMENTTHREADED);
    if (stages_.RunDownloadStage(&sink, &questions) != 0 || sink.IsCanceled())
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
