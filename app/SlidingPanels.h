#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QLabel;
class QTimer;
class QWidget;

// The two panels (about and output format) that lie parked below the window's visible area and
// slide up over the main panel when needed. Positions are kept in twips, as single-precision
// numbers, and placed at 15 twips a pixel.
//
// A parked panel is hidden, so none of its controls is in the Tab chain or takes a key or a
// click; it is shown when it starts to rise, and focus goes to its first control. From the
// moment it starts to fall it is disabled (deaf again); once parked it is hidden, the main
// panel is enabled and focus returns to the control that opened the panel.
class SlidingPanels : public QObject {
    Q_OBJECT

public:
    static constexpr int TwipsPerPixel = 15;

    // `window` is the top-level window; `frMain` the main panel that gives it its size.
    SlidingPanels(QWidget* window, QWidget* frMain, QWidget* frAbout, QWidget* frFormats,
                  QLabel* lblVer, QObject* parent = nullptr);

    // Runs at the end of a downward motion, once the panel is out of sight, so the main view
    // can redraw what the panel uncovered.
    std::function<void()> onPanelParked;
    // Runs when a panel starts to fall (it takes no input from then on), so the main view can
    // show what was chosen in it.
    std::function<void()> onPanelClosing;

    void PlaceSlidingPanels();
    // "EDIT_FRAME_UP" or "EDIT_FRAME_DOWN"; moves objMovePanel.
    void SlidePanel(const QString& sCommand);
    void SlidePanelUpStep();
    void SlidePanelDownStep();

    // The click handlers of cmdAbout / cmdChangeFormat: ignored while a motion runs. `opener`
    // gets the focus back when the panel has been parked again.
    void OpenPanel(QWidget* panel, QWidget* opener = nullptr);
    // Whether a panel is up, rising or falling (the main panel is disabled meanwhile).
    bool PanelOpen() const;
    // The panel that is up, rising or falling; null while both are parked.
    QWidget* OpenedPanel() const { return PanelOpen() ? objMovePanel : nullptr; }
    // cmdCloseHelp / "Save && Close": reverses a rising panel from where it is.
    void ClosePanel() { SlidePanel(QStringLiteral("EDIT_FRAME_DOWN")); }

    QTimer* tmrAnimate() const { return tmrAnimate_; }
    float Top(QWidget* panel) const { return top_.value(panel); }
    void SetTop(QWidget* panel, float twips);

    QString sMoveObject;
    QWidget* objMovePanel = nullptr;
    qint32 lMoveStep = 0;
    qint32 lMoveInterval = 0;

    // The version as major.minor.0.revision.
    static QString VersionText();

private:
    void Tick();
    float WindowHeightTwips() const;
    // Focus to the first control of the panel that Tab would reach.
    static void FocusFirstControl(QWidget* panel);

    QWidget* window_;
    QWidget* frMain_;
    QWidget* frAbout_;
    QWidget* frFormats_;
    QLabel* lblVer_;
    QTimer* tmrAnimate_;
    QHash<QWidget*, float> top_;
    QPointer<QWidget> opener_;
};
