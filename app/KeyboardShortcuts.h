#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <functional>

class QShortcut;
class QWidget;

// The window's keyboard shortcuts:
//   Space          play or pause           I / O          mark start / end
//   Left / Right   one second back / on    Page Down / Up ten seconds back / on
//   Home / End     the start / the end     F              the closer look, in and out
//   Ctrl+O         load a video            Ctrl+Return    start or stop the cut
//   Esc            close the open panel, or leave the closer look
//   F1             help                    Ctrl+Q         close the window
// Each acts as its button does (a disabled button does nothing). The main view's keys work
// while no panel is open; Esc always. A control that needs a key itself keeps it: Space on a
// focused button, check box or option presses it, the arrows choose among options, and a text
// box keeps its keys. Each button with a shortcut names it in its tool tip.
class KeyboardShortcuts : public QObject {
    Q_OBJECT

public:
    // `window` is the top-level window; `mainView` the main panel (its shortcuts are off while
    // it is disabled, that is while a panel is open).
    KeyboardShortcuts(QWidget* window, QWidget* mainView, QObject* parent = nullptr);

    // A shortcut of the main view, acting as a click on `button` (when it is enabled), and
    // named in the button's tool tip ("Play or pause (Space)").
    void AddButton(const QKeySequence& keys, QWidget* button, const QString& toolTip,
                   bool autoRepeat = false);
    // A shortcut of the main view that runs `action`.
    void AddAction(const QKeySequence& keys, std::function<void()> action, bool autoRepeat = false);
    // A shortcut of the whole window (also while a panel is open).
    void AddWindowAction(const QKeySequence& keys, std::function<void()> action);

    // "Play or pause (Space)".
    static QString ToolTip(const QString& text, const QKeySequence& keys);
    const QList<QShortcut*>& Shortcuts() const { return shortcuts_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QShortcut* Add(QWidget* parent, const QKeySequence& keys, std::function<void()> action,
                   bool autoRepeat);

    QWidget* window_;
    QWidget* mainView_;
    QList<QShortcut*> shortcuts_;
};
