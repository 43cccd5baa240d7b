#include "app/SlidingPanels.h"

#include "engine/Rounding.h"

#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

namespace {

int ToPixels(double twips) {
    return static_cast<int>(RoundHalfEven(twips / SlidingPanels::TwipsPerPixel));
}

} // namespace

SlidingPanels::SlidingPanels(QWidget* window, QWidget* frMain, QWidget* frAbout, QWidget* frFormats,
                             QLabel* lblVer, QObject* parent)
    : QObject(parent), window_(window), frMain_(frMain), frAbout_(frAbout), frFormats_(frFormats),
      lblVer_(lblVer), tmrAnimate_(new QTimer(this)) {
    tmrAnimate_->setInterval(10);
    tmrAnimate_->setTimerType(Qt::PreciseTimer);
    connect(tmrAnimate_, &QTimer::timeout, this, &SlidingPanels::Tick);
}

void SlidingPanels::SetTop(QWidget* panel, float twips) {
    top_.insert(panel, twips);
    panel->move(panel->x(), ToPixels(twips));
}

float SlidingPanels::WindowHeightTwips() const {
    return static_cast<float>(window_->height() * TwipsPerPixel);
}

QString SlidingPanels::VersionText() {
    return QStringLiteral("%1.%2.0.%3")
        .arg(QUENLET_VERSION_MAJOR)
        .arg(QUENLET_VERSION_MINOR)
        .arg(QUENLET_VERSION_REVISION);
}

void SlidingPanels::PlaceSlidingPanels() {
    frMain_->move(0, 0);
    window_->setFixedSize(frMain_->size());

    // Both panels share one left edge, which centres the (narrower) about panel.
    const int left = (frMain_->width() - frAbout_->width()) / 2;
    const float parked = static_cast<float>(frMain_->height() * TwipsPerPixel);
    for (QWidget* panel : {frFormats_, frAbout_}) {
        panel->move(left, panel->y());
        SetTop(panel, parked);
        panel->raise();
        // Parked: out of the Tab chain and deaf to keys and clicks.
        panel->hide();
    }
    lblVer_->setText(VersionText());
}

void SlidingPanels::OpenPanel(QWidget* panel, QWidget* opener) {
    if (tmrAnimate_->isActive()) {
        return;
    }
    objMovePanel = panel;
    opener_ = opener;
    frMain_->setEnabled(false);
    panel->setEnabled(true);
    panel->show();
    panel->raise();
    FocusFirstControl(panel);
    SlidePanel(QStringLiteral("EDIT_FRAME_UP"));
}

bool SlidingPanels::PanelOpen() const {
    return objMovePanel != nullptr && !objMovePanel->isHidden();
}

void SlidingPanels::FocusFirstControl(QWidget* panel) {
    // A panel may name the control that takes the focus (its focus proxy).
    if (QWidget* proxy = panel->focusProxy(); proxy != nullptr && proxy->isEnabled()) {
        proxy->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (QWidget* next = panel->nextInFocusChain(); next != nullptr && next != panel;
         next = next->nextInFocusChain()) {
        if (!panel->isAncestorOf(next) || !next->isVisibleTo(panel) || !next->isEnabled() ||
            (next->focusPolicy() & Qt::TabFocus) == 0) {
            continue;
        }
        // Of a group of options, Tab enters at the one chosen.
        if (auto* option = qobject_cast<QRadioButton*>(next);
            option != nullptr && !option->isChecked() && option->autoExclusive()) {
            const QList<QRadioButton*> siblings =
                option->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
            for (QRadioButton* sibling : siblings) {
                if (sibling->isChecked() && sibling->isEnabled() && sibling->isVisibleTo(panel)) {
                    next = sibling;
                    break;
                }
            }
        }
        next->setFocus(Qt::TabFocusReason);
        return;
    }
    panel->setFocus(Qt::OtherFocusReason);
}

void SlidingPanels::SlidePanel(const QString& sCommand) {
    if (sCommand == QLatin1String("EDIT_FRAME_UP")) {
        lMoveStep = 300;
        lMoveInterval = 10;
        sMoveObject = QStringLiteral("Edit Frame 2 Up");
    } else if (sCommand == QLatin1String("EDIT_FRAME_DOWN")) {
        lMoveStep = 500;
        lMoveInterval = 5;
        sMoveObject = QStringLiteral("Edit Frame 2 Down");
        // A falling panel takes no more input: its focus goes to the window until the main
        // panel is enabled again.
        if (objMovePanel != nullptr && !objMovePanel->isHidden()) {
            if (objMovePanel->isAncestorOf(QApplication::focusWidget())) {
                window_->setFocus(Qt::OtherFocusReason);
            }
            objMovePanel->setEnabled(false);
            if (onPanelClosing) {
                onPanelClosing();
            }
        }
    }
    // The interval is left as the previous motion set it: the first tick comes after that.
    if (!tmrAnimate_->isActive()) {
        tmrAnimate_->start();
    }
}

void SlidingPanels::Tick() {
    if (sMoveObject == QLatin1String("Edit Frame 2 Up")) {
        SlidePanelUpStep();
    } else if (sMoveObject == QLatin1String("Edit Frame 2 Down")) {
        SlidePanelDownStep();
    }
}

void SlidingPanels::SlidePanelUpStep() {
    if (objMovePanel == nullptr) {
        tmrAnimate_->stop();
        return;
    }
    tmrAnimate_->setInterval(lMoveInterval);
    const float top = Top(objMovePanel);
    if (top < 2650.0F) {
        tmrAnimate_->stop();
        SetTop(objMovePanel, 2715.0F);
        return;
    }
    if (top < 3100.0F && lMoveStep > 100) {
        lMoveStep = static_cast<qint32>(RoundHalfEven(lMoveStep / 2.0));
        lMoveInterval *= 2;
    }
    SetTop(objMovePanel, top - static_cast<float>(lMoveStep));
}

void SlidingPanels::SlidePanelDownStep() {
    if (objMovePanel == nullptr) {
        tmrAnimate_->stop();
        return;
    }
    tmrAnimate_->setInterval(lMoveInterval);
    const float top = Top(objMovePanel);
    const float bottom = WindowHeightTwips();
    if (top < bottom) {
        SetTop(objMovePanel, top + static_cast<float>(lMoveStep));
        return;
    }
    tmrAnimate_->stop();
    SetTop(objMovePanel, bottom);
    objMovePanel->hide();
    frMain_->setEnabled(true);
    if (opener_ != nullptr && opener_->isEnabled()) {
        opener_->setFocus(Qt::OtherFocusReason);
    }
    opener_.clear();
    if (onPanelParked) {
        onPanelParked();
    }
}
