#pragma once

#include "engine/CutContext.h"
#include "engine/CutPlan.h"
#include "engine/IndexlessSeek.h"
#include "engine/SizeFit.h"
#include "engine/StreamKeeping.h"

#include <QStringList>

// A cut that must fit in the bytes the request asks for (-quenlet-target-size). SizeFit gives
// the bit rates, the picture size and the frame rate from the cut's length; a cut that cannot
// fit at a watchable quality fails before anything is encoded. H.264 and VP9 are encoded in two
// passes, the first writing only its log into the work folder:
//   - H.264: the first pass encodes at constant quality (CRF 18); when that came out smaller
//     than the bytes the picture may have, the second pass aims at that size instead, or keeps
//     that quality when it needs well under them, so a short cut of a small source gets no
//     needlessly large file;
//   - VP9: both passes at constrained quality (-crf with -b:v as the ceiling), which has the
//     same effect inside the encoder.
// Other encoders make one pass at the average bit rate. The streams kept are StreamKeeping's.
// When the product comes out over the target all the same, the second pass runs once more at a
// rate lowered by as much as it was over (the first pass's log still serves); a product over
// the target after that fails with the output check's sentence and is removed with the work
// folder.
class FitToSizePlan : public CutPlan {
public:
    explicit FitToSizePlan(CutContext context);

    PlanAnswer Next(const StepResult* last) override;
    PlanAnswer Rejected(const QString& problem) override;

    // What SizeFit made of the cut (after the looks at the source).
    SizeFit::Fit Fitted() const { return fit_; }

private:
    enum class Stage { Looks, FirstPass, LastPass };

    // The cut's length: the range's, else the task's.
    double Seconds() const;
    // The sentence for a cut that cannot fit.
    QString CannotFit() const;
    // The encoder's arguments of one pass (1 or 2), or of the only pass (0).
    QStringList Arguments(int pass) const;
    // The picture's options: the filters, the rate and the passes' options.
    QStringList VideoOptions(int pass) const;
    PlanStep Pass(int pass, double share);
    // The fit, after the looks at the source: the first pass, or the sentence why it cannot fit.
    PlanAnswer Start();
    // What the user should learn of a picture made smaller or slower to fit; empty when not.
    QString MadeNotice() const;

    CutContext context_;
    IndexlessSeek seek_;
    StreamKeeping keeping_;
    SizeFit::Video video_ = SizeFit::Video::Other;
    SizeFit::Audio audio_ = SizeFit::Audio::Other;
    // The format's options without those the plan sets itself.
    QStringList format_;
    QString filters_; // the format's own picture filters, which come first
    SizeFit::Fit fit_;
    qint64 videoRate_ = 0; // the rate the second pass aims at
    Stage stage_ = Stage::Looks;
    QString passLog_; // the passes' log files in the work folder, without their endings
    bool twoPass_ = false;
    bool extrasLeftOut_ = false;
    bool againTried_ = false;
    // The second pass keeps the first's constant quality, which needs well under the target.
    bool constantQuality_ = false;
};
