#pragma once

#include <QObject>
#include <QString>

// What the window's parts share about the file and the task: whether a file is ready in the
// player, whether a conversion task runs, and the input of the next task. The window owns it;
// each value has one writer (the player's announcements, the conversion task, the input intake)
// and any number of readers. A setter raises the value's change signal only when it changes.
class Session : public QObject {
    Q_OBJECT

public:
    explicit Session(QObject* parent = nullptr);

    // True while no file is ready in the player (at first, and from the start of each intake
    // until the player has loaded the file).
    bool NoMedia() const { return noMedia_; }
    void SetNoMedia(bool noMedia);

    // True while a conversion task runs.
    bool Converting() const { return converting_; }
    void SetConverting(bool converting);

    // The input of the next task: the file taken in last (also one the encoder cannot read).
    QString InputFile() const { return inputFile_; }
    void SetInputFile(const QString& path);

Q_SIGNALS:
    void NoMediaChanged(bool noMedia);
    void ConvertingChanged(bool converting);
    void InputFileChanged(const QString& path);

private:
    bool noMedia_ = true;
    bool converting_ = false;
    QString inputFile_;
};
