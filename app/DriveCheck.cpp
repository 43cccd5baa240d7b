#include "app/DriveCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <utility>

namespace DriveCheck {

using DriveClassification::BlockDevice;
using DriveClassification::MountDescription;

namespace {

// Links between mounts and devices are followed this deep at most (a loop device whose backing
// file lies on another loop device, an overlay on an overlay, ...).
constexpr int DeepestChain = 8;

DriveCheckFunction& installedCheck() {
    static DriveCheckFunction function;
    return function;
}

// mountinfo writes a blank, tab, line feed and backslash as \040, \011, \012 and \134.
QString Unescape(const QString& field) {
    const auto isOctal = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('7'); };
    QString result;
    result.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c == QLatin1Char('\\') && i + 3 < field.size() && isOctal(field.at(i + 1)) &&
            isOctal(field.at(i + 2)) && isOctal(field.at(i + 3))) {
            result.append(QChar(field.mid(i + 1, 3).toInt(nullptr, 8)));
            i += 3;
            continue;
        }
        result.append(c);
    }
    return result;
}

QString ReadAttribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLocal8Bit(file.read(4096)).trimmed();
}

// Canonical path of an existing entry; empty when it does not exist.
QString Canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

// The mount that holds the path: the longest mount point containing it; of equal ones the last
// mounted, which hides the others.
const MountEntry* HoldingMount(const QList<MountEntry>& entries, const QString& path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& entry : entries) {
        const QString& point = entry.mountPoint;
        const bool holds = point == QLatin1String("/") || path == point ||
                           path.startsWith(point + QLatin1Char('/'));
        if (holds && (best == nullptr || point.size() >= best->mountPoint.size())) {
            best = &entry;
        }
    }
    return best;
}

class Describer {
public:
    explicit Describer(const SystemView& view)
        : view_(view), entries_(ParseMountInfo(view.mountInfo)) {}

    MountDescription DescribeMountOf(const QString& canonicalPath, int depth) const {
        MountDescription description;
        const MountEntry* entry = HoldingMount(entries_, canonicalPath);
        if (entry == nullptr || depth > DeepestChain) {
            return description;
        }
        description.mountPoint = entry->mountPoint;
        description.fsType = entry->fsType;
        description.source = entry->source;
        if (entry->fsType == QLatin1String("overlay")) {
            const QString upper = Canonical(OverlayUpperDir(entry->superOptions));
            if (!upper.isEmpty()) {
                description.upperLayer.push_back(DescribeMountOf(upper, depth + 1));
            }
            return description;
        }
        QString deviceEntry = DeviceEntryOfNumber(entry->majorMinor);
        if (deviceEntry.isEmpty()) {
            deviceEntry = DeviceEntryOfSource(entry->source);
        }
        if (!deviceEntry.isEmpty()) {
            description.hasDevice = true;
            description.device = DescribeDevice(deviceEntry, depth + 1);
        }
        return description;
    }

private:
    static QString OverlayUpperDir(const QString& options) {
        // Options are separated by commas; a comma inside a path is escaped with a backslash.
        qsizetype start = 0;
        for (qsizetype i = 0; i <= options.size(); ++i) {
            const bool end =
                i == options.size() || (options.at(i) == QLatin1Char(',') &&
                                        (i == 0 || options.at(i - 1) != QLatin1Char('\\')));
            if (!end) {
                continue;
            }
            const QString option = options.mid(start, i - start);
            if (option.startsWith(QLatin1String("upperdir="))) {
                return option.mid(9).replace(QStringLiteral("\\,"), QStringLiteral(","));
            }
            start = i + 1;
        }
        return {};
    }

    // The sysfs entry of a device number, "" when sysfs does not know it (anonymous devices of
    // btrfs subvolumes, overlays and network file systems have major number 0).
    QString DeviceEntryOfNumber(const QString& majorMinor) const {
        if (majorMinor.isEmpty() || majorMinor.startsWith(QLatin1String("0:"))) {
            return {};
        }
        return Canonical(view_.sysRoot + QStringLiteral("/dev/block/") + majorMinor);
    }

    // The sysfs entry of a mount source such as /dev/sda2 or /dev/mapper/vg-home.
    QString DeviceEntryOfSource(const QString& source) const {
        if (!source.startsWith(QLatin1String("/dev/"))) {
            return {};
        }
        const QString name = source.section(QLatin1Char('/'), -1);
        QString entry = Canonical(view_.sysRoot + QStringLiteral("/class/block/") + name);
        if (!entry.isEmpty()) {
            return entry;
        }
        // Device-mapper devices are known to sysfs as dm-<n>, under their own name in dm/name.
        const QDir blocks(view_.sysRoot + QStringLiteral("/class/block"));
        for (const QString& candidate :
             blocks.entryList({QStringLiteral("dm-*")}, QDir::AllEntries | QDir::System)) {
            if (ReadAttribute(blocks.filePath(candidate) + QStringLiteral("/dm/name")) == name) {
                return Canonical(blocks.filePath(candidate));
            }
        }
        // Last, the device node itself (on the live system only).
        struct stat status {};
        const QByteArray node = QFile::encodeName(source);
        if (view_.sysRoot == QLatin1String("/sys") && ::stat(node.constData(), &status) == 0 &&
            S_ISBLK(status.st_mode)) {
            return DeviceEntryOfNumber(QString::number(major(status.st_rdev)) + QLatin1Char(':') +
                                       QString::number(minor(status.st_rdev)));
        }
        return {};
    }

    BlockDevice DescribeDevice(const QString& entry, int depth) const {
        BlockDevice device;
        if (depth > DeepestChain) {
            return device;
        }
        QString disk = entry;
        if (QFileInfo::exists(entry + QStringLiteral("/partition"))) {
            disk = QFileInfo(entry).path(); // a partition's folder lies in its disk's folder
        }
        device.name = QFileInfo(disk).fileName();
        device.devicePath = disk;
        device.removable = ReadAttribute(disk + QStringLiteral("/removable"));
        if (device.name.startsWith(QLatin1String("mmcblk"))) {
            device.cardType = ReadAttribute(disk + QStringLiteral("/device/type"));
        }
        const QDir slaves(disk + QStringLiteral("/slaves"));
        for (const QString& slave :
             slaves.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            const QString slaveEntry =
                Canonical(view_.sysRoot + QStringLiteral("/class/block/") + slave);
            BlockDevice part;
            if (!slaveEntry.isEmpty()) {
                part = DescribeDevice(slaveEntry, depth + 1);
            } else {
                part.name = slave; // known by name only: classified as unknown
            }
            device.slaves.push_back(std::move(part));
        }
        const QString backingFile = ReadAttribute(disk + QStringLiteral("/loop/backing_file"));
        if (!backingFile.isEmpty()) {
            const QString backing = Canonical(backingFile);
            if (!backing.isEmpty()) {
                device.backing.push_back(DescribeMountOf(backing, depth + 1));
            }
        }
        return device;
    }

    const SystemView& view_;
    QList<MountEntry> entries_;
};

} // namespace

SystemView LiveSystem() {
    SystemView view;
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (file.open(QIODevice::ReadOnly)) {
        // A proc file reports no size: read until the end.
        view.mountInfo = QString::fromLocal8Bit(file.readAll());
    }
    return view;
}

QList<MountEntry> ParseMountInfo(const QString& text) {
    QList<MountEntry> entries;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // id, parent, major:minor, root, mount point, options, [optional fields...], "-",
        // type, source, super options
        const qsizetype separator = fields.indexOf(QStringLiteral("-"), 6);
        if (fields.size() < 6 || separator < 0 || separator + 2 >= fields.size()) {
            continue;
        }
        MountEntry entry;
        entry.majorMinor = fields.at(2);
        entry.root = Unescape(fields.at(3));
        entry.mountPoint = Unescape(fields.at(4));
        entry.fsType = Unescape(fields.at(separator + 1));
        entry.source = Unescape(fields.at(separator + 2));
        if (separator + 3 < fields.size()) {
            entry.superOptions = Unescape(fields.at(separator + 3));
        }
        entries.append(entry);
    }
    return entries;
}

MountDescription DescribePath(const QString& canonicalPath, const SystemView& view) {
    return Describer(view).DescribeMountOf(canonicalPath, 0);
}

bool IsFixedDisk(const QString& folder) {
    if (installedCheck()) {
        return installedCheck()(folder);
    }
    const QString path = Canonical(folder);
    if (path.isEmpty()) {
        return false;
    }
    return DriveClassification::Classify(DescribePath(path, LiveSystem())) ==
           DriveClassification::DriveType::Fixed;
}

DriveCheckFunction SetDriveCheckFunction(DriveCheckFunction function) {
    return std::exchange(installedCheck(), std::move(function));
}

} // namespace DriveCheck
