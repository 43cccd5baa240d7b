#pragma once

#include <QString>
#include <QStringList>

// Carries a cut's plan out the way the converter does, without a window or event processing,
// so that many cuts can run at once on worker threads: the source is described by ffprobe, the
// plan CutPlanning chooses asks for its runs, the product is read back by the output check and
// then moved to `output`.
namespace PlanDriver {

struct Outcome {
    bool done = false;  // the cut passed its check and is at `output`
    QString problem;    // why not
    QString notice;     // what the plan tells the user
    QStringList runs;   // each run's program and arguments, one line each
    QString cutOutputs; // the console output of the run that wrote the product
};

// `arguments`: the converter's text ("<format options> -ss S -t L -y"); `length`: the cut's
// length as the task gives it.
Outcome Cut(const QString& input, const QString& arguments, const QString& output, double length);

} // namespace PlanDriver
