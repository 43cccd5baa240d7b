#include "engine/Diagnostics.h"

Q_LOGGING_CATEGORY(Diagnostics, "quenlet.diagnostics", QtWarningMsg)
