#include "config/Config.h"
#include "run/Pipeline.h"
#include "run/PrerequisiteRun.h"
#include "run/InstallStage.h"
#include "run/RunServices.h"

namespace orvanta {
namespace {

// The product's phases: the pipeline's searches and checks and the install stages.
class ProductRun final : public PrerequisiteRun {
public:
    explicit ProductRun(const RunServices& services) : services_(services) {}

    void SearchAll(ChainerConfig& config) override { SearchAllPrerequisites(config, services_.nativeMachine); }
    std::unique_ptr<InstallStages> BuildStages(ChainerConfig& config, ExtractionContext& extraction,
                                               InterbootStore& store) override
    {
        return std::make_unique<InstallStage>(config, extraction, store, services_);
    }
    void Recheck(ChainerConfig& config) override { RecheckPrerequisites(config, services_.nativeMachine); }
    bool MandatoryCheck(ChainerConfig& config) override { return orvanta::MandatoryCheck(config); }

private:
    const RunServices services_;
};

} // namespace

std::unique_ptr<PrerequisiteRun> CreatePrerequisiteRun(const RunServices& services)
{
    return std::make_unique<ProductRun>(services);
}

} // namespace orvanta
