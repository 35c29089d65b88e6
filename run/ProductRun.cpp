#include "config/Config.h"
#include "run/Pipeline.h"
#include "run/PrerequisiteRun.h"
#include "run/InstallStage.h"

namespace orvanta {
namespace {

// The product's phases: the pipeline's searches and checks and the install stages.
class ProductRun final : public PrerequisiteRun {
public:
    void SearchAll(ChainerConfig& config) override { SearchAllPrerequisites(config); }
    std::unique_ptr<InstallStages> BuildStages(ChainerConfig& config, ExtractionContext& extraction,
                                               InterbootStore& store) override
    {
        return std::make_unique<InstallStage>(config, extraction, store);
    }
    void Recheck(ChainerConfig& config) override { RecheckPrerequisites(config); }
    bool MandatoryCheck(ChainerConfig& config) override { return orvanta::MandatoryCheck(config); }
};

} // namespace

std::unique_ptr<PrerequisiteRun> CreatePrerequisiteRun()
{
    return std::make_unique<ProductRun>();
}

} // namespace orvanta
