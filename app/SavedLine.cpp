#include "app/SavedLine.h"

#include "app/modDesktop.h"
#include "engine/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

const QChar Ellipsis(0x2026);

QString ElideMiddle(const QString& text, int characters) {
    if (text.size() <= characters) {
        return text;
    }
    const int head = (characters - 1) / 2;
    const int tail = characters - 1 - head;
    return text.left(head) + Ellipsis + text.right(tail);
}

QString ElideStart(const QString& text, int characters) {
    if (text.size() <= characters) {
        return text;
    }
    return Ellipsis + text.right(characters - 1);
}

QPushButton* NewAction(const QString& caption, const char* name, const QString& toolTip,
                       QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setProperty("linkButton", true);
    button->setToolTip(toolTip);
    button->setAccessibleDescription(toolTip);
    button->setFocusPolicy(Qt::TabFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

SavedLine::SavedLine(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("savedLine"));
    setAccessibleName(QStringLiteral("Saved cut"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 4, 0);
    layout->setSpacing(6);
    auto* mark = new QLabel(QString(QChar(0x2714)), this);
    mark->setObjectName(QStringLiteral("savedMark"));
    mark->setAccessibleName(QStringLiteral("Saved"));
    lblSaved = new QLabel(this);
    lblSaved->setObjectName(QStringLiteral("lblSaved"));
    lblSaved->setTextFormat(Qt::PlainText);
    cmdNote = NewAction(QStringLiteral("Note"), "cmdSavedNote",
                        QStringLiteral("Read how the cut was made"), this);
    cmdNote->hide();
    cmdOpenOutput = NewAction(QStringLiteral("Open"), "cmdOpenOutput",
                              QStringLiteral("Open the cut in the default program"), this);
    cmdShowOutput = NewAction(QStringLiteral("Show in Folder"), "cmdShowOutput",
                              QStringLiteral("Show the cut in the file manager"), this);
    layout->addWidget(mark);
    layout->addWidget(lblSaved);
    layout->addWidget(cmdNote);
    layout->addWidget(cmdOpenOutput);
    layout->addWidget(cmdShowOutput);
    connect(cmdOpenOutput, &QPushButton::clicked, this, [this] {
        if (!path_.isEmpty()) {
            modDesktop::OpenFile(path_);
        }
    });
    connect(cmdNote, &QPushButton::clicked, this, [this] {
        if (!note_.isEmpty()) {
            Platform::ShowMessage(note_, Platform::MessageIcon::Information);
        }
    });
    connect(cmdShowOutput, &QPushButton::clicked, this, [this] {
        if (!path_.isEmpty()) {
            modDesktop::ShowInFolder(path_);
        }
    });
    hide();
}

QString SavedLine::FolderText(const QString& folder) {
    const QString home = QDir::cleanPath(QDir::homePath());
    QString shown = QDir::cleanPath(folder);
    if (home != QLatin1String("/") && (shown == home || shown.startsWith(home + u'/'))) {
        shown = QLatin1Char('~') + shown.mid(home.size());
    }
    return QDir::toNativeSeparators(shown);
}

QString SavedLine::SavedText(const QString& path) {
    const QFileInfo file(path);
    return QStringLiteral("Saved %1 in %2")
        .arg(ElideMiddle(file.fileName(), NameCharacters),
             ElideStart(FolderText(file.absolutePath()), FolderCharacters));
}

QString SavedLine::FullText(const QString& path) {
    const QFileInfo file(path);
    return QStringLiteral("Saved %1 in %2").arg(file.fileName(), FolderText(file.absolutePath()));
}

void SavedLine::ShowSaved(const QString& path, const QString& note) {
    path_ = path;
    const QString text = SavedText(path);
    lblSaved->setText(text);
    note_ = note;
    cmdNote->setToolTip(note);
    cmdNote->setAccessibleDescription(note.isEmpty() ? QStringLiteral("Read how the cut was made")
                                                     : note);
    cmdNote->setVisible(!note.isEmpty());
    const QString whole = QDir::toNativeSeparators(path);
    lblSaved->setToolTip(whole);
    // What a screen reader says: the whole name and folder, and the note.
    const QString spoken = FullText(path);
    lblSaved->setAccessibleName(spoken);
    setAccessibleDescription(note.isEmpty() ? spoken : spoken + QStringLiteral(". ") + note);
    cmdOpenOutput->setAccessibleName(QStringLiteral("Open %1").arg(QFileInfo(path).fileName()));
    cmdShowOutput->setAccessibleName(
        QStringLiteral("Show %1 in folder").arg(QFileInfo(path).fileName()));
    show();
}

void SavedLine::Clear() {
    path_.clear();
    hide();
}
