#include "app/DriveClassification.h"

#include <QRegularExpression>
#include <QStringList>

namespace DriveClassification {

namespace {

// Files kept on another machine.
bool IsNetworkFileSystem(const QString& fsType) {
    static const QStringList kernelTypes{
        QStringLiteral("nfs"),      QStringLiteral("nfs4"),   QStringLiteral("cifs"),
        QStringLiteral("smb3"),     QStringLiteral("smbfs"),  QStringLiteral("ncpfs"),
        QStringLiteral("afs"),      QStringLiteral("ceph"),   QStringLiteral("glusterfs"),
        QStringLiteral("9p"),       QStringLiteral("coda"),   QStringLiteral("ocfs2"),
        QStringLiteral("gfs2"),     QStringLiteral("lustre"), QStringLiteral("davfs"),
        QStringLiteral("orangefs"), QStringLiteral("beegfs"), QStringLiteral("gpfs"),
        QStringLiteral("virtiofs")};
    // FUSE file systems name their program after "fuse.".
    static const QStringList fusePrograms{QStringLiteral("sshfs"),
                                          QStringLiteral("rclone"),
                                          QStringLiteral("s3fs"),
                                          QStringLiteral("gcsfuse"),
                                          QStringLiteral("goofys"),
                                          QStringLiteral("curlftpfs"),
                                          QStringLiteral("davfs"),
                                          QStringLiteral("davfs2"),
                                          QStringLiteral("gvfsd-fuse"),
                                          QStringLiteral("glusterfs"),
                                          QStringLiteral("ceph-fuse"),
                                          QStringLiteral("cephfs"),
                                          QStringLiteral("smbnetfs"),
                                          QStringLiteral("blobfuse"),
                                          QStringLiteral("blobfuse2"),
                                          QStringLiteral("onedriver"),
                                          QStringLiteral("google-drive-ocamlfuse"),
                                          QStringLiteral("mountpoint-s3"),
                                          QStringLiteral("juicefs"),
                                          QStringLiteral("moosefs"),
                                          QStringLiteral("mfs"),
                                          QStringLiteral("lizardfs"),
                                          QStringLiteral("seaweedfs"),
                                          QStringLiteral("afpfs"),
                                          QStringLiteral("afp_client"),
                                          QStringLiteral("cvmfs2")};
    const QString type = fsType.toLower();
    if (kernelTypes.contains(type)) {
        return true;
    }
    if (type.startsWith(QLatin1String("fuse."))) {
        return fusePrograms.contains(type.mid(5));
    }
    return false;
}

bool IsMemoryFileSystem(const QString& fsType) {
    return fsType == QLatin1String("tmpfs") || fsType == QLatin1String("ramfs");
}

bool IsOpticalFileSystem(const QString& fsType) {
    return fsType == QLatin1String("iso9660") || fsType == QLatin1String("udf");
}

// File systems of the kernel itself, with no drive behind them.
bool IsPseudoFileSystem(const QString& fsType) {
    static const QStringList types{
        QStringLiteral("proc"),      QStringLiteral("sysfs"),       QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),    QStringLiteral("cgroup"),      QStringLiteral("cgroup2"),
        QStringLiteral("debugfs"),   QStringLiteral("tracefs"),     QStringLiteral("securityfs"),
        QStringLiteral("pstore"),    QStringLiteral("bpf"),         QStringLiteral("configfs"),
        QStringLiteral("mqueue"),    QStringLiteral("hugetlbfs"),   QStringLiteral("fusectl"),
        QStringLiteral("autofs"),    QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"),
        QStringLiteral("nsfs"),      QStringLiteral("rpc_pipefs"),  QStringLiteral("nfsd"),
        QStringLiteral("selinuxfs"), QStringLiteral("squashfs")};
    // squashfs is a read-only image (snaps, live media): nothing can be written there.
    return types.contains(fsType);
}

bool StartsWithDigitsAfter(const QString& name, const QString& prefix) {
    if (!name.startsWith(prefix) || name.size() == prefix.size()) {
        return false;
    }
    return name.at(prefix.size()).isDigit();
}

DriveType ClassifyDevice(const BlockDevice& device, int depth);

DriveType ClassifyMount(const MountDescription& mount, int depth);

// Fixed only when every part is Fixed; otherwise the first part that is not.
DriveType ClassifyParts(const std::vector<BlockDevice>& parts, int depth) {
    for (const BlockDevice& part : parts) {
        const DriveType type = ClassifyDevice(part, depth + 1);
        if (type != DriveType::Fixed) {
            return type;
        }
    }
    return DriveType::Fixed;
}

DriveType ClassifyDevice(const BlockDevice& device, int depth) {
    constexpr int DeepestChain = 16;
    if (depth > DeepestChain) {
        return DriveType::Unknown;
    }
    const QString& name = device.name;
    if (name.isEmpty()) {
        return DriveType::Unknown;
    }
    if (StartsWithDigitsAfter(name, QStringLiteral("zram")) ||
        StartsWithDigitsAfter(name, QStringLiteral("ram"))) {
        return DriveType::RamDisk;
    }
    if (StartsWithDigitsAfter(name, QStringLiteral("nbd")) ||
        StartsWithDigitsAfter(name, QStringLiteral("rbd"))) {
        return DriveType::Network;
    }
    // A SCSI disk behind an iSCSI session: .../host3/session1/target3:0:0/...
    static const QRegularExpression iscsiSession(QStringLiteral("/session[0-9]+/"));
    if (device.devicePath.contains(iscsiSession)) {
        return DriveType::Network;
    }
    if (StartsWithDigitsAfter(name, QStringLiteral("sr"))) {
        return DriveType::Optical;
    }
    if (StartsWithDigitsAfter(name, QStringLiteral("loop"))) {
        if (device.backing.empty()) {
            return DriveType::Unknown;
        }
        return ClassifyMount(device.backing.front(), depth + 1);
    }
    if (!device.slaves.empty()) {
        return ClassifyParts(device.slaves, depth);
    }
    if (StartsWithDigitsAfter(name, QStringLiteral("dm-")) ||
        StartsWithDigitsAfter(name, QStringLiteral("md"))) {
        return DriveType::Unknown; // built on devices we were not told about
    }
    if (device.removable == QLatin1String("1")) {
        return DriveType::Removable;
    }
    if (device.removable != QLatin1String("0")) {
        return DriveType::Unknown;
    }
    // Card readers on the MMC bus report their cards as not removable.
    if (StartsWithDigitsAfter(name, QStringLiteral("mmcblk")) &&
        device.cardType.compare(QLatin1String("SD"), Qt::CaseInsensitive) == 0) {
        return DriveType::Removable;
    }
    return DriveType::Fixed;
}

DriveType ClassifyMount(const MountDescription& mount, int depth) {
    constexpr int DeepestChain = 16;
    if (depth > DeepestChain) {
        return DriveType::Unknown;
    }
    const QString fsType = mount.fsType.toLower();
    if (fsType.isEmpty()) {
        return DriveType::Unknown;
    }
    if (IsNetworkFileSystem(fsType)) {
        return DriveType::Network;
    }
    if (IsMemoryFileSystem(fsType)) {
        return DriveType::RamDisk;
    }
    if (IsOpticalFileSystem(fsType)) {
        return DriveType::Optical;
    }
    if (IsPseudoFileSystem(fsType)) {
        return DriveType::Unknown;
    }
    if (fsType == QLatin1String("overlay")) {
        if (!mount.upperLayer.empty()) {
            return ClassifyMount(mount.upperLayer.front(), depth + 1);
        }
        return DriveType::Fixed;
    }
    // FUSE file systems without a block device that are not known network ones (encfs,
    // gocryptfs, archive mounts, ...) cannot be told apart.
    if (fsType.startsWith(QLatin1String("fuse")) && !mount.hasDevice) {
        return DriveType::Unknown;
    }
    if (!mount.hasDevice) {
        return DriveType::Unknown;
    }
    return ClassifyDevice(mount.device, depth + 1);
}

} // namespace

DriveType Classify(const MountDescription& mount) {
    return ClassifyMount(mount, 0);
}

QString TypeName(DriveType type) {
    switch (type) {
    case DriveType::Fixed:
        return QStringLiteral("fixed disk");
    case DriveType::Removable:
        return QStringLiteral("removable");
    case DriveType::Network:
        return QStringLiteral("network");
    case DriveType::Optical:
        return QStringLiteral("optical");
    case DriveType::RamDisk:
        return QStringLiteral("RAM disk");
    case DriveType::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

} // namespace DriveClassification
