#pragma once

#include "engine/CutContext.h"
#include "engine/PlanStep.h"
#include "engine/StreamSelection.h"

#include <QString>
#include <QStringList>

#include <optional>

// The runs a cut needs before its own so that it keeps the source's streams (StreamSelection),
// and the options it then adds. A plan asks NextStep() until there is none, hands each result
// to Learn(), and puts its cut's run together as
//     [-ss S] -i <input> Inputs() <the format's options> Options() ... <output>
// The runs: where a stream copy really starts (the key frame before the mark, for its chapters
// and timecode), which subtitle tracks have a cue in the range, the first picture's HDR
// description (for a 10-bit x265 cut), and the piece that holds the range's subtitles in the
// output's subtitle formats. None of them can make a cut fail: what a run could not find is
// left out, and the user is told.
class StreamKeeping {
public:
    // For a cut of the context's input into its product (the extension says the container);
    // `outputSeek`: the cut seeks on the output side.
    explicit StreamKeeping(const CutContext& context, bool outputSeek = false);

    // The next run needed before the cut's own; nothing when the cut can run.
    std::optional<PlanStep> NextStep();
    // What the run NextStep() last gave found.
    void Learn(const StepResult& result);

    QStringList Inputs() const { return choice_.inputs; }
    QStringList Options() const { return choice_.options; }

    // Whether the cut keeps subtitles, attachments or telemetry; LeaveOutExtras() chooses again
    // without them (when the encoder could not write them), saying why with `problem`.
    bool HasExtras() const { return choice_.extras; }
    void LeaveOutExtras(const QString& problem);
    void SetOutputSeek(bool outputSeek);
    // The cut's first picture is the one at the mark even when it copies (an exact copy): no
    // look for the key frame before it.
    void StartAtTheMark() { atTheMark_ = true; }

    // What the user should learn of the kept streams, from the choice and from the console
    // output of the run that wrote the cut; empty when nothing.
    QString Notice(const QString& cutOutputs) const;

private:
    enum class Stage { KeyFrame, Cues, Picture, Piece, Ready };
    void Choose();
    bool NeedsKeyFrame() const;
    bool NeedsCues() const;
    PlanStep Probe(QStringList arguments) const;

    CutContext context_;
    QString extension_;
    bool outputSeek_ = false;
    bool atTheMark_ = false;
    Stage stage_ = Stage::KeyFrame;
    StreamSelection::Findings findings_;
    StreamSelection::Choice choice_;
    QStringList told_; // what went wrong on the way
};
