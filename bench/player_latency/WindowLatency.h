#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <vector>

struct WindowOptions {
    int loads = 9;
    int seeks = 18;
    double playSeconds = 6.0;
};

struct WindowClip {
    QString name;
    QString path;
};

// Prints one figure: its name, the values in milliseconds and the target.
using ReportFunction =
    std::function<void(const char* what, const std::vector<double>& values, const char* target)>;

// Loads, seeks and plays each clip in the program's main window; 0 when all went through.
int MeasureWindow(const WindowOptions& options, const QList<WindowClip>& clips,
                  const ReportFunction& report);
