#include "engine/WorkFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString Prefix = QStringLiteral(".quenlet-work-");

QString& Journal() {
    static QString journal;
    return journal;
}

// The start time of a process in clock ticks after boot (field 22 of /proc/<pid>/stat), which
// together with its id names it uniquely while the machine runs; empty when it does not run.
QByteArray StartTime(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray text = stat.readAll();
    // The command name in brackets may hold blanks; the fields after it are counted from 3.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0) {
        return {};
    }
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields.at(19) : QByteArray();
}

// Whether the program that made the work folder called `name` still runs.
bool OwnerRuns(const QString& name) {
    static const QRegularExpression form(QStringLiteral("^\\.quenlet-work-(\\d+)-(\\d+)-\\w+$"));
    const QRegularExpressionMatch match = form.match(name);
    if (!match.hasMatch()) {
        return true; // not ours: never touched
    }
    const QByteArray started = StartTime(static_cast<pid_t>(match.captured(1).toLongLong()));
    return !started.isEmpty() && started == match.captured(2).toLatin1();
}

void RemoveFolder(const QString& path) {
    const QFileInfo entry(path);
    if (entry.isDir() && !entry.isSymLink() && entry.fileName().startsWith(Prefix)) {
        QDir(path).removeRecursively();
    }
}

} // namespace

WorkFolder::WorkFolder(const QString& folder) {
    const QString name = Prefix + QStringLiteral("%1-%2-XXXXXX")
                                      .arg(::getpid())
                                      .arg(QString::fromLatin1(StartTime(::getpid())));
    QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
    if (::mkdtemp(path.data()) == nullptr) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    path_ = QFile::decodeName(path);
    if (!Journal().isEmpty() && QDir().mkpath(Journal())) {
        const QString note = QDir(Journal()).filePath(QFileInfo(path_).fileName());
        if (QFile::link(path_, note)) {
            note_ = note;
        }
    }
}

WorkFolder::~WorkFolder() {
    if (!path_.isEmpty()) {
        RemoveFolder(path_);
    }
    if (!note_.isEmpty()) {
        QFile::remove(note_);
    }
}

QString WorkFolder::Piece(const QString& name) const {
    return QDir(path_).filePath(name);
}

int WorkFolder::MoveNoReplace(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without the flag: a hard link fails on a taken name as well.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return 0;
    }
    if (errno == EEXIST) {
        return EEXIST;
    }
    // Without hard links either, the name is tested first; only a rename in the same instant
    // could be replaced.
    if (QFileInfo(to).exists() || QFileInfo(to).isSymLink()) {
        return EEXIST;
    }
    return ::rename(source.constData(), target.constData()) == 0 ? 0 : errno;
}

void WorkFolder::SweepFolder(const QString& folder) {
    QDirIterator entries(folder, {Prefix + QLatin1Char('*')},
                         QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    while (entries.hasNext()) {
        const QString path = entries.next();
        const QString name = QFileInfo(path).fileName();
        if (!OwnerRuns(name)) {
            RemoveFolder(path);
            if (!Journal().isEmpty()) {
                QFile::remove(QDir(Journal()).filePath(name));
            }
        }
    }
}

void WorkFolder::SetJournal(const QString& journalFolder) {
    Journal() = journalFolder;
}

void WorkFolder::SweepJournal() {
    if (Journal().isEmpty()) {
        return;
    }
    QDirIterator notes(Journal(), {Prefix + QLatin1Char('*')},
                       QDir::System | QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot);
    while (notes.hasNext()) {
        const QString note = notes.next();
        const QString name = QFileInfo(note).fileName();
        if (OwnerRuns(name)) {
            continue;
        }
        const QString target = QFileInfo(note).symLinkTarget();
        // Only the folder the note was made for: same name, ours by its form.
        if (!target.isEmpty() && QFileInfo(target).fileName() == name) {
            RemoveFolder(target);
        }
        QFile::remove(note);
    }
}
