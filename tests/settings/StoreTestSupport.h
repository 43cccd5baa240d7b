#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace StoreTestSupport {

// A fresh, empty store folder for one test, named by QUENLET_STORE_DIR while it lives.
class StoreFolderScope {
public:
    // In the usual temporary folder, or from a template such as "/dev/shm/name-XXXXXX".
    explicit StoreFolderScope(const QString& folderTemplate = QString())
        : dir(folderTemplate.isEmpty() ? QDir::tempPath() + QStringLiteral("/quenlet-store-XXXXXX")
                                       : folderTemplate) {
        qputenv("QUENLET_STORE_DIR", QFile::encodeName(dir.path()));
    }
    ~StoreFolderScope() { qunsetenv("QUENLET_STORE_DIR"); }
    StoreFolderScope(const StoreFolderScope&) = delete;
    StoreFolderScope& operator=(const StoreFolderScope&) = delete;

    QString path() const { return dir.path(); }
    QString file(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// Makes a file or folder unwritable while it lives. Permission bits do not stop the superuser,
// so as root the file system's immutable flag is used instead. `active()` tells whether the
// protection really holds, checked by trying to write.
class WriteProtection {
public:
    explicit WriteProtection(const QString& path) : path_(QFile::encodeName(path)) {
        struct stat info {};
        if (::stat(path_.constData(), &info) != 0) {
            return;
        }
        folder_ = S_ISDIR(info.st_mode);
        mode_ = info.st_mode & 07777;
        if (::geteuid() != 0) {
            chmodded_ = ::chmod(path_.constData(), folder_ ? 0555 : 0444) == 0;
        } else {
            immutable_ = SetImmutable(true);
        }
        active_ = (chmodded_ || immutable_) && !Writable();
    }
    ~WriteProtection() {
        if (immutable_) {
            SetImmutable(false);
        }
        if (chmodded_) {
            ::chmod(path_.constData(), mode_);
        }
    }
    WriteProtection(const WriteProtection&) = delete;
    WriteProtection& operator=(const WriteProtection&) = delete;

    bool active() const { return active_; }

private:
    bool SetImmutable(bool on) const {
        const int fd = ::open(path_.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return false;
        }
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }
    bool Writable() const {
        if (!folder_) {
            const int fd = ::open(path_.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
            }
            return fd >= 0;
        }
        const QByteArray probe = path_ + "/.write-probe";
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.constData());
        }
        return fd >= 0;
    }

    QByteArray path_;
    mode_t mode_ = 0;
    bool folder_ = false;
    bool chmodded_ = false;
    bool immutable_ = false;
    bool active_ = false;
};

} // namespace StoreTestSupport
