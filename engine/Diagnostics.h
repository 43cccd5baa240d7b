#pragma once

#include <QLoggingCategory>

// Quenlet's own diagnostics, silent unless asked for: QT_LOGGING_RULES="quenlet.*=true" reports
// which data files were read, every message box shown and every video taken in, on the
// terminal Quenlet was started from.
Q_DECLARE_LOGGING_CATEGORY(Diagnostics)
