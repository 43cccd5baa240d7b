#pragma once

#include "engine/CutContext.h"

#include <memory>

class CutPlan;

// Chooses how a cut is made from what its request asks for: an exact copy, a cut that fits a
// size, or (for everything else) one run of the encoder.
namespace CutPlanning {

std::unique_ptr<CutPlan> Choose(const CutContext& context);

} // namespace CutPlanning
