#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QPushButton;

// The line that tells where a completed cut went: "Saved holiday.mp4 in ~/Cut Files", with
// Open (the cut, in the desktop's default program) and Show in Folder (the file manager with
// the cut selected), and room for a short note about the cut from the encoder (for example
// that it was re-encoded instead of copied). Shown in the window, not in a box; hidden until a
// cut completes and again when the next task starts or another file is taken in.
class SavedLine : public QFrame {
    Q_OBJECT

public:
    explicit SavedLine(QWidget* parent = nullptr);

    // Shows the line for the cut at `path` (the name the file finally got), with `note` after
    // it when there is one.
    void ShowSaved(const QString& path, const QString& note = QString());
    void Clear();
    // The cut the line names; empty while hidden.
    QString SavedFile() const { return path_; }

    // "Saved holiday.mp4 in ~/Cut Files": a folder in the home folder starts with "~"; a long
    // name loses its middle, a long folder its start.
    static QString SavedText(const QString& path);
    // The same in full, as screen readers and the desktop's notification say it.
    static QString FullText(const QString& path);
    // The folder as the line shows it: the home folder as "~", native separators.
    static QString FolderText(const QString& folder);

    QLabel* lblSaved = nullptr;
    // Shown when the cut comes with a note (how it was made, what it could not keep): the
    // window has no room for a sentence beside the saved line, so the note is the button's
    // tooltip and a click shows it whole.
    QPushButton* cmdNote = nullptr;
    QPushButton* cmdOpenOutput = nullptr;
    QPushButton* cmdShowOutput = nullptr;

    // Longest name and folder shown in full; longer ones lose their middle (the name) or
    // their start (the folder). The tool tip has the whole path.
    static constexpr int NameCharacters = 30;
    static constexpr int FolderCharacters = 26;

private:
    QString path_;
    QString note_;
};
