#include "config/Config.h"
#include "run/RunPlan.h"
#include "run/PrerequisiteRun.h"
#include "run/InstallStage.h"
#include "run/RunServices.h"

namespace orvanta {
namespace {

// The product's phases: the pipeline's searches and checks and the install stages.
class ProductRun final : public PrerequisiteRun {
public:
    explicit ProductRun(const RunServices& services) : services_(services) {}

    void SearchAll(RunPlan& plan) override { plan.SearchAll(services_.nativeMachine); }
    std::unique_ptr<InstallStages> BuildStages(RunPlan& plan, ExtractionContext& extraction,
                                               InterbootStore& store) override
    {
        return std::make_unique<InstallStage>(plan, extraction, store, services_);
    }
    void Recheck(RunPlan& plan) override { plan.Recheck(services_.nativeMachine); }
    bool MandatoryCheck(RunPlan& plan) override { return plan.MandatoryCheck(); }

private:
    const RunServices services_;
};

} // namespace

std::unique_ptr<PrerequisiteRun> CreatePrerequisiteRun(const RunServices& services)
{
    return std::make_unique<ProductRun>(services);
}

} // namespace orvanta
