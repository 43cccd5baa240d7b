#pragma once

#include "engine/OutputCheck.h"
#include "engine/PlanStep.h"

#include <QString>

// What a plan wants next.
struct PlanAnswer {
    enum class Kind { Run, Done, Failed };
    Kind kind = Kind::Failed;
    PlanStep step;                   // Run: the step to run
    QString product;                 // Done: the piece that becomes the output
    OutputCheck::Expectation expect; // Done: what the final output check expects of it
    QString problem;                 // Failed: the sentence for the user

    static PlanAnswer Run(PlanStep step);
    static PlanAnswer Done(const QString& product, const OutputCheck::Expectation& expect);
    static PlanAnswer Failed(const QString& problem);
};

// How one cut is made: a sequence of runs of the encoder and the prober, decided one after the
// other from what the runs before found. The converter carries a plan out: it runs each step
// with one progress over all of them and one Stop for whichever runs, keeps every piece in one
// private work folder that is removed in every case, and gives the product its name only after
// its final output check has passed.
//
// A plan is asked Next() with nothing first and then with the result of each step it asked for,
// until it answers Done or Failed. When the final output check rejects the product, Rejected()
// is asked: a plan may try another way once (with a Notice() that says so) or fail.
class CutPlan {
public:
    CutPlan() = default;
    virtual ~CutPlan() = default;
    CutPlan(const CutPlan&) = delete;
    CutPlan& operator=(const CutPlan&) = delete;

    virtual PlanAnswer Next(const StepResult* last) = 0;
    virtual PlanAnswer Rejected(const QString& problem) { return PlanAnswer::Failed(problem); }

    // A sentence for the user about how the cut was made when it is not what the preset
    // promises (for example re-encoded instead of copied, and why); empty otherwise.
    QString Notice() const { return notice_; }

protected:
    QString notice_;
};
