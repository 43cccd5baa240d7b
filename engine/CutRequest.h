#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the task asks of one cut, read from the converter's argument text ("<format options>
// -ss S -t L -y"): the output format's own options, the marked range, and Quenlet's own options.
// Those start with "-quenlet-", name the kind of cut a preset wants and never reach the encoder:
//   -quenlet-exact-copy            copy the streams, re-encoding only the pictures before the
//                                  first key frame of the range, so the cut starts on the mark
//   -quenlet-target-size <bytes>   the file must fit in that many bytes ("25000000", "25MB")
struct CutRequest {
    // The text without Quenlet's options, otherwise exactly as written (the range included).
    QString argumentsText;
    // The format's own options, split as the runner splits a command line: the text without the
    // range ("-ss", "-t" and their values) and without "-y".
    QStringList formatOptions;
    std::optional<double> start;  // the last "-ss" value, in seconds
    std::optional<double> length; // the last "-t" value, in seconds
    bool exactCopy = false;
    qint64 targetBytes = 0; // 0: no size asked for
    // A Quenlet option the program does not know, or one without its value: the sentence for
    // the user. Empty when the text is fine.
    QString problem;

    static CutRequest Parse(const QString& arguments);
};
