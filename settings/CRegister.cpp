#include "settings/CRegister.h"

#include "settings/RegisterFile.h"
#include "settings/StoreFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A root file is a few kilobytes; anything far larger is not one of ours.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
// How long a change waits for another running copy to finish its own.
constexpr int kLockWaitMs = 5000;

QString RootName(quint32 regHKEY) {
    switch (regHKEY) {
    case HKEY_CLASSES_ROOT:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    case HKEY_CURRENT_USER:
        return QStringLiteral("HKEY_CURRENT_USER");
    case HKEY_LOCAL_MACHINE:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case HKEY_USERS:
        return QStringLiteral("HKEY_USERS");
    default:
        return {};
    }
}

// The file of a root, or an empty text for an unknown root or no store folder.
QString RootFilePath(const QString& rootName) {
    if (rootName.isEmpty()) {
        return {};
    }
    const QString folder = Platform::StoreFolder();
    if (folder.isEmpty()) {
        return {};
    }
    return QDir(folder).absoluteFilePath(rootName + QStringLiteral(".ini"));
}

// The levels of a key path; the empty path is the root key itself. A path with an empty level
// (a "\" at either end, or two in a row) names no key.
std::optional<RegisterFile::Levels> KeyLevels(const QString& path) {
    if (path.isEmpty()) {
        return RegisterFile::Levels{};
    }
    const RegisterFile::Levels levels = path.split(u'\\');
    for (const QString& level : levels) {
        if (level.isEmpty()) {
            return std::nullopt;
        }
    }
    return levels;
}

// "*" is the unnamed value; so is the empty name, as in the registry.
QString ValueName(const QString& sKey) {
    return sKey == QStringLiteral("*") ? QString() : sKey;
}

// Reads a root file. A missing file (or folder) is an empty store; a file that cannot be read, is
// not a regular file (a folder or a pipe would never answer), is far too large or is not a store
// file gives nothing. Never changes the file.
std::optional<RegisterFile> ReadRootFile(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        // No file, or no folder for it.
        if (errno == ENOENT || errno == ENOTDIR) {
            return RegisterFile();
        }
        return std::nullopt;
    }
    QByteArray data;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxFileSize;
    while (ok) {
        char buffer[16384];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, n);
            ok = data.size() <= kMaxFileSize;
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;
        }
    }
    ::close(fd);
    if (!ok) {
        return std::nullopt;
    }
    return RegisterFile::Parse(data);
}

// Changes a root file: under the lock file beside it (shared by every running copy), reads it
// afresh, lets `change` work on the contents and, when that reports a change, writes the whole
// file to a new file that then replaces the old one in one step. False when the folder or the
// lock cannot be made, the file cannot be read or is not a store file, `change` declines, or
// the new file cannot be written (a read-only file or folder).
bool ChangeRootFile(quint32 regHKEY, const std::function<bool(RegisterFile&)>& change) {
    const QString rootName = RootName(regHKEY);
    const QString path = RootFilePath(rootName);
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        return false;
    }
    std::optional<RegisterFile> contents = ReadRootFile(path);
    if (!contents || !change(*contents)) {
        return false;
    }
    const QByteArray data = contents->Serialize(rootName);
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

bool CRegister::REGDeleteSetting(quint32 regHKEY, const QString& sSection,
                                 const QString& sKey) const {
    try {
        if (sKey.isEmpty()) {
            // The whole key, its path taken as passed: a path with a "\" at either end names no
            // key, so nothing is deleted rather than guessing which key was meant.
            const std::optional<RegisterFile::Levels> key = KeyLevels(sSection);
            if (!key || key->isEmpty()) {
                return false;
            }
            return ChangeRootFile(regHKEY,
                                  [&](RegisterFile& file) { return file.RemoveKey(*key); });
        }
        const std::optional<RegisterFile::Levels> key = KeyLevels(NormalizeSection(sSection));
        if (!key) {
            return false;
        }
        return ChangeRootFile(
            regHKEY, [&](RegisterFile& file) { return file.RemoveValue(*key, ValueName(sKey)); });
    } catch (...) {
        return false;
    }
}

QString CRegister::REGGetSetting(quint32 regHKEY, const QString& sSection, const QString& sKey,
                                 const QString& sDefault) const {
    try {
        const std::optional<RegisterFile::Levels> key = KeyLevels(NormalizeSection(sSection));
        const QString path = RootFilePath(RootName(regHKEY));
        if (!key || path.isEmpty()) {
            return sDefault;
        }
        const std::optional<RegisterFile> file = ReadRootFile(path);
        if (!file) {
            return sDefault;
        }
        const std::optional<QString> text = file->ValueText(*key, ValueName(sKey));
        // A value without data counts as no value.
        return text && !text->isEmpty() ? *text : sDefault;
    } catch (...) {
        return sDefault;
    }
}

bool CRegister::REGSaveSetting(quint32 regHKEY, const QString& sSection, const QString& sKey,
                               const QString& sValue) const {
    try {
        const std::optional<RegisterFile::Levels> key = KeyLevels(NormalizeSection(sSection));
        if (!key) {
            return false;
        }
        return ChangeRootFile(regHKEY, [&](RegisterFile& file) {
            file.SetValue(*key, ValueName(sKey), sValue);
            return true;
        });
    } catch (...) {
        return false;
    }
}

std::optional<bool> CRegister::REGKeyExists(quint32 regHKEY, const QString& sSection) const {
    try {
        const std::optional<RegisterFile::Levels> key = KeyLevels(NormalizeSection(sSection));
        const QString path = REGRootFile(regHKEY);
        if (!key || path.isEmpty()) {
            return false;
        }
        const std::optional<RegisterFile> file = ReadRootFile(path);
        if (!file) {
            return std::nullopt;
        }
        return file->HasKey(*key);
    } catch (...) {
        return std::nullopt;
    }
}

QString CRegister::REGRootFile(quint32 regHKEY) {
    return RootFilePath(RootName(regHKEY));
}

QString CRegister::NormalizeSection(const QString& sSection) {
    QString section = sSection;
    if (section.startsWith(u'\\')) {
        section.remove(0, 1);
    }
    if (section.endsWith(u'\\')) {
        section.chop(1);
    }
    return section;
}
