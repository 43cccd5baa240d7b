#include "engine/CutPlanning.h"

#include "engine/SimpleCutPlan.h"

namespace CutPlanning {

std::unique_ptr<CutPlan> Choose(const CutContext& context) {
    return std::make_unique<SimpleCutPlan>(context);
}

} // namespace CutPlanning
