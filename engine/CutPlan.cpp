#include "engine/CutPlan.h"

#include <utility>

PlanAnswer PlanAnswer::Run(PlanStep step) {
    PlanAnswer answer;
    answer.kind = Kind::Run;
    answer.step = std::move(step);
    return answer;
}

PlanAnswer PlanAnswer::Done(const QString& product, const OutputCheck::Expectation& expect) {
    PlanAnswer answer;
    answer.kind = Kind::Done;
    answer.product = product;
    answer.expect = expect;
    return answer;
}

PlanAnswer PlanAnswer::Failed(const QString& problem) {
    PlanAnswer answer;
    answer.kind = Kind::Failed;
    answer.problem = problem;
    return answer;
}
