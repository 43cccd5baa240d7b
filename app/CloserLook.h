#pragma once

#include <QObject>
#include <QRect>
#include <functional>

class MainPanel;
class QWidget;

// The closer look: the preview full screen, with the seek slider, the time, and the playback
// and mark buttons below it (all usable, keys included); everything else of the window is
// hidden meanwhile. A double-click on the picture (or F, from the window's shortcuts) goes in
// and out; Esc goes out. The window and its panel keep their fixed size otherwise, and get it
// back, at the same place, when the closer look ends.
//
// A press on the picture is taken here, so the picture is no handle that moves the window (a
// double-click would otherwise start a move instead).
class CloserLook : public QObject {
    Q_OBJECT

public:
    // `window` is the top-level window, `frMain` its main panel. `canEnter` says whether there
    // is anything to look at (a file is loaded, no panel is open).
    CloserLook(QWidget* window, MainPanel* frMain, std::function<bool()> canEnter,
               QObject* parent = nullptr);

    bool Active() const { return active_; }
    void Enter();
    void Leave();
    void Toggle();

Q_SIGNALS:
    void ActiveChanged(bool active);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    MainPanel* frMain_;
    QWidget* picture_;
    std::function<bool()> canEnter_;
    bool active_ = false;
    QRect normalGeometry_;
};
