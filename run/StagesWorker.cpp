#include "run/StagesWorker.h"

#include "platform/ComRef.h"
#include "platform/ProgressSink.h"

namespace orvanta {

void StagesWorker::Run(ProgressSink& sink, DownloadQuestions& questions)
{
    // The worker's own apartment: installers started through the shell may need COM.
    const ComApartment apartment(COINIT_APARTMENTTHREADED);
    if (stages_.Run(&sink, &questions) == 0)
        sink.Complete(0, 0);
}

int32_t StagesWorker::FinalResult()
{
    if (stages_.Reboot().inProgress)
        return ProgressCanceledOrRebooting;
    run_.Recheck(plan_);
    return run_.MandatoryCheck(plan_) ? ProgressDone : ProgressMandatoryMissing;
}

} // namespace orvanta
