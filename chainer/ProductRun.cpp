#include "chainer/Config.h"
#include "chainer/PrerequisiteRun.h"

namespace orvanta {
namespace {

// The product's phases. No search is wired in yet, so every prerequisite stays undecided
// and nothing reaches the install stages.
class ProductRun final : public PrerequisiteRun {
public:
    void SearchAll(ChainerConfig&) override {}
    std::unique_ptr<InstallStages> BuildStages(ChainerConfig&, ExtractionContext&, InterbootStore&) override
    {
        return nullptr;
    }
    void Recheck(ChainerConfig&) override {}
    bool MandatoryCheck(ChainerConfig&) override { return true; }
};

} // namespace

std::unique_ptr<PrerequisiteRun> CreatePrerequisiteRun()
{
    return std::make_unique<ProductRun>();
}

} // namespace orvanta
