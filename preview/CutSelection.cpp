#include "preview/CutSelection.h"

#include "engine/HandlerGuard.h"
#include "engine/modMain.h"
#include "preview/Slider.h"

#include <QLabel>
#include <QtDebug>

#include <exception>

namespace {

// Runs a click's work; a slider that refuses a value leaves the rest undone, logged, and no
// exception leaves the slot.
template <typename Work> void Guarded(const char* what, Work work) {
    RunGuarded(work, [what](const std::exception* error) {
        if (error != nullptr) {
            qWarning("CutSelection: %s failed: %s", what, error->what());
        } else {
            qWarning("CutSelection: %s failed", what);
        }
    });
}

} // namespace

CutSelection::CutSelection(Slider* slider, QLabel* lblStartSelect, QLabel* lblEndSelect,
                           bool& bNoMedia, QObject* parent)
    : QObject(parent), slider_(slider), lblStartSelect_(lblStartSelect),
      lblEndSelect_(lblEndSelect), bNoMedia_(bNoMedia) {}

void CutSelection::cmdStartSelect_Click() {
    if (bNoMedia_) {
        return;
    }
    Guarded("marking the start", [this] {
        slider_->SetSelectStart(slider_->Value());
        lblStartSelect_->setText(modMain::TimeText(slider_->Value()));
    });
}

void CutSelection::cmdEndSelect_Click() {
    if (bNoMedia_) {
        return;
    }
    Guarded("marking the end", [this] {
        slider_->SetSelectEnd(slider_->Value());
        lblEndSelect_->setText(modMain::TimeText(slider_->Value()));
    });
}

void CutSelection::cmdDeleteSelect_Click() {
    Guarded("clearing the marks", [this] {
        slider_->SetSelectStart(0);
        slider_->SetSelectEnd(0);
    });
    // Cleared marks are written with full stops.
    lblStartSelect_->setText(QStringLiteral("00.00.00"));
    lblEndSelect_->setText(QStringLiteral("00.00.00"));
}
