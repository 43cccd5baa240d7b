#pragma once

#include "engine/ChildProcess.h"

#include <QString>
#include <QStringList>

// One run of a program in a cut's plan (CutPlan): the encoder or the prober with its arguments.
struct PlanStep {
    enum class Program { Encoder, Prober };
    Program program = Program::Encoder;
    // The arguments after the program, one list entry each (no quoting needed).
    QStringList arguments;
    // The media seconds the encoder's progress ("time=") counts up to in this run; 0 when the
    // run's output tells nothing of progress.
    double mediaSeconds = 0;
    // The run's part of the task's progress bar, from 0 to 1; the parts of a plan add up to 1
    // at most.
    double share = 0;
    // The file this run writes that becomes the output, or a piece of it (empty for runs that
    // write nothing the output check reads): the output check learns from this run's console
    // output which streams the encoder announced for it.
    QString product;
};

// How a step went, as the converter tells the plan.
struct StepResult {
    PlanStep step;
    // Everything the program printed (standard output and error together), in order.
    QString outputs;
    ChildProcess::Ending ending;
    // Whether the run went well: an encoder run began encoding and exited with status 0; a
    // prober run exited with status 0.
    bool ok = false;
    // When it did not: the words for the user, the encoder's error lines or a sentence such as
    // "The encoder was ended by signal 9 (Killed)." (empty when there is nothing to tell, as
    // for a program that could not be started, which has been reported already).
    QString problem;
    bool Ok() const { return ok; }
};
