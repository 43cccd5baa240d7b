#pragma once

#include "engine/CutContext.h"
#include "engine/CutPlan.h"
#include "engine/IndexlessSeek.h"
#include "engine/StreamKeeping.h"

#include <optional>

// The cut as one run of the encoder: it seeks in the input to the start mark ("-ss S" before
// the input, so a cut near the end of a long film starts at once) and writes the format's
// options and the length. When seeking in the input found no picture for the range (a stream
// whose key frames lie far apart, such as a recording with one key frame), a re-encoding cut
// is made once more seeking on the output side, which decodes from the start of the input.
// The streams it keeps are StreamKeeping's, whose looks at the source run first; when the
// encoder cannot write the subtitles, attachments or telemetry, the cut runs once more without.
class SimpleCutPlan : public CutPlan {
public:
    explicit SimpleCutPlan(CutContext context);

    PlanAnswer Next(const StepResult* last) override;
    PlanAnswer Rejected(const QString& problem) override;

    // The encoder's arguments of the cut: seeking in the input, or after it when `outputSeek`.
    QStringList Arguments(bool outputSeek) const;

private:
    PlanStep Step(bool outputSeek);
    // The cut once more without the subtitles, attachments and telemetry it keeps, after the
    // encoder could not write them; nothing when it kept none or tried that already.
    std::optional<PlanAnswer> WithoutExtras(const QString& problem);
    // Whether the encoder's summary says it wrote no picture into an output with a video.
    static bool NoPictureEncoded(const QString& outputs);

    CutContext context_;
    // Where the cut seeks in a file without an index.
    IndexlessSeek seek_;
    // The streams the cut keeps, and the looks at the source they need first.
    StreamKeeping keeping_;
    bool outputSeek_ = false;
    bool cutAsked_ = false;   // whether the step asked for last is the cut's own run
    bool plainTried_ = false; // whether the cut ran without its extras already
    bool encodedNoPicture_ = false;
};
