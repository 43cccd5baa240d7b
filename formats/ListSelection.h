#pragma once

#include <QComboBox>
#include <QSignalBlocker>
#include <QString>
#include <functional>

// Selecting a list entry from code runs the same handler a user's selection runs, exactly once:
// the index is set with the list's signals blocked and the handler is then called with the
// entry's text. Returns false, changing nothing, when the index is outside the list (-1, which
// clears the selection, is allowed).
inline bool SelectListEntry(QComboBox* list, int index,
                            const std::function<void(const QString&)>& handler = {}) {
    if (index < -1 || index >= list->count()) {
        return false;
    }
    {
        const QSignalBlocker blocker(list);
        list->setCurrentIndex(index);
    }
    if (handler) {
        handler(list->currentText());
    }
    return true;
}
