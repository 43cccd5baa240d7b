#pragma once

#include "engine/CutRequest.h"
#include "engine/SourceFacts.h"

#include <QString>

class WorkFolder;

// Everything a plan is made from: what the task asks, what the source holds and where pieces go.
struct CutContext {
    QString input;      // the source file
    QString product;    // where the finished output is written, inside the work folder
    double length = 0;  // the cut's length in seconds, as the task measures progress by it
    CutRequest request; // the format's options, the range and Quenlet's options
    SourceFacts facts;  // what the prober found in the source (facts.known false: nothing)
    const WorkFolder* work = nullptr; // where the pieces go
};
