#include "engine/CutPlanning.h"

#include "engine/ExactCopyPlan.h"
#include "engine/FitToSizePlan.h"
#include "engine/SimpleCutPlan.h"

namespace CutPlanning {

std::unique_ptr<CutPlan> Choose(const CutContext& context) {
    if (context.request.exactCopy) {
        return std::make_unique<ExactCopyPlan>(context);
    }
    if (context.request.targetBytes > 0) {
        return std::make_unique<FitToSizePlan>(context);
    }
    return std::make_unique<SimpleCutPlan>(context);
}

} // namespace CutPlanning
