#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class CVideoConv;
class MainPanel;
class Session;
class QMimeData;
class QWidget;

// Takes in the one video file the user wants to cut, chosen in the file-open dialog behind
// "Load Video File ..." or dropped on the video area: announces the intake (IntakeStarted: the
// owners of the preview, the marks and the progress display reset their widgets), records the
// file as the task's input, asks the encoder whether it can read the file, and hands a readable
// file to the preview player.
class InputIntake : public QObject {
    Q_OBJECT

public:
    // `owner` is the window the file dialog belongs to. The intake sets the session's InputFile;
    // while the session is Converting dropped files are refused (the load button is disabled
    // during a task as well).
    InputIntake(MainPanel* panel, QWidget* owner, Session* session, QObject* parent = nullptr);
    ~InputIntake() override;

    // The preview player's LoadVideo. Installed by the window.
    std::function<void(const QString& path)> LoadVideo;

    // The open dialog's filter, as (description, patterns separated by ";") pairs in order.
    static const QList<QStringList> VideoFilterList;
    // The same as one Qt filter text: "Common Video Files (*.wmv *.asf ...);;...".
    static QString VideoFilter();

    // Shows the file-open dialog ("Select a video file"); returns the chosen path without NUL
    // characters, or an empty text when the dialog was cancelled.
    QString ChooseVideoFile();
    // The load button's click: a chosen file is taken in; a cancelled dialog changes nothing.
    void cmdAddVideoFile_Click();
    // A drop on the video area: the first local file of the drop is taken in, whatever its
    // name; the encoder decides, as for a file chosen in the dialog ("File is not supported").
    // A drop without a local file is ignored.
    void picVideoWindow_OLEDragDrop(const QMimeData* data);
    // The file named on Quenlet's command line (the desktop's "Open With"), as an absolute path:
    // taken in as a file chosen in the open dialog is.
    void TakeInStartupFile(const QString& path);
    // Takes in one file (every way in ends here).
    void TakeInFile(const QString& path);
    // Ends the encoder's look at a file being taken in, at once; that file is then not taken in
    // (the window is closing). Does nothing when no file is being looked at.
    void AbandonProbe();

Q_SIGNALS:
    // A file is being taken in: what showed the previous one is reset now, before the encoder
    // looks at the new file (connect directly).
    void IntakeStarted(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainPanel* panel_;
    QWidget* picVideoWindow_; // the video area, whose drops the intake takes
    QWidget* owner_;
    Session* session_;
    // Counts intakes, so an intake that another one overtook while the encoder looked at its
    // file (events are processed meanwhile) gives way to the newer one.
    quint64 intakeGeneration_ = 0;
    // The converters looking at files being taken in, innermost last.
    QList<CVideoConv*> probes_;
};
