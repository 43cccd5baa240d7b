#pragma once

#include "engine/CutContext.h"
#include "engine/PlanStep.h"

#include <optional>

// Where a cut seeks in a file without an index (SourceFacts::Indexless: MPEG-TS and the like).
// The encoder seeks such a file by its times and lands near the mark, often on a picture that
// cannot be decoded without the ones before it; the decoder then drops everything up to the
// next key frame, and the cut starts late. So the prober first finds the key frame before the
// mark; the cut seeks just past it, which lands on it, and a re-encode leaves out the pictures
// from there to the mark. Without a key frame in the 15 s before the mark, a re-encode decodes
// from the start.
class IndexlessSeek {
public:
    explicit IndexlessSeek(const CutContext& context);

    // The look for the key frame, the first time a plan asks; nothing after that, or when the
    // cut needs none (a file with an index, a cut from the start, no video).
    std::optional<PlanStep> NextStep();
    // Whether `last` is the result of that look; it is learnt from then.
    bool Took(const StepResult* last);

    // Where the encoder seeks before the input, in seconds from the source's start, once the
    // key frame is known; nothing otherwise.
    std::optional<double> InputSeek() const { return seek_; }
    // Whether the look found no key frame before the mark.
    bool NotFound() const { return notFound_; }

private:
    std::optional<PlanStep> Probe() const;
    void Learn(const StepResult& result);

    CutContext context_;
    bool asked_ = false;
    bool running_ = false; // the look was handed out and its result has not come back
    std::optional<double> seek_;
    bool notFound_ = false;
};
