#include "app/DriveCheck.h"
#include "app/DriveClassification.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using DriveClassification::BlockDevice;
using DriveClassification::Classify;
using DriveClassification::DriveType;
using DriveClassification::MountDescription;

Q_DECLARE_METATYPE(DriveClassification::DriveType)

namespace {

BlockDevice Disk(const QString& name, const QString& removable,
                 const QString& path = QStringLiteral("/sys/devices/pci0000:00/x/block/")) {
    BlockDevice device;
    device.name = name;
    device.devicePath = path + name;
    device.removable = removable;
    return device;
}

MountDescription OnDevice(const QString& fsType, const BlockDevice& device) {
    MountDescription mount;
    mount.mountPoint = QStringLiteral("/media/x");
    mount.fsType = fsType;
    mount.source = QStringLiteral("/dev/") + device.name;
    mount.hasDevice = true;
    mount.device = device;
    return mount;
}

MountDescription WithoutDevice(const QString& fsType, const QString& source) {
    MountDescription mount;
    mount.mountPoint = QStringLiteral("/mnt/x");
    mount.fsType = fsType;
    mount.source = source;
    return mount;
}

void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// A sysfs tree in a temporary folder: the disk folder with its attributes and the links of
// /sys/dev/block and /sys/class/block.
struct FakeSys {
    QTemporaryDir dir;
    QString root() const { return dir.path(); }

    QString AddDisk(const QString& devicePath, const QString& name, const QString& number,
                    const QByteArray& removable) {
        const QString disk =
            root() + QStringLiteral("/devices/") + devicePath + QLatin1Char('/') + name;
        QDir().mkpath(disk);
        if (!removable.isNull()) {
            WriteFile(disk + QStringLiteral("/removable"), removable + '\n');
        }
        Link(disk, number, name);
        return disk;
    }
    QString AddPartition(const QString& disk, const QString& name, const QString& number) {
        const QString partition = disk + QLatin1Char('/') + name;
        WriteFile(partition + QStringLiteral("/partition"), "1\n");
        Link(partition, number, name);
        return partition;
    }
    void Link(const QString& target, const QString& number, const QString& name) {
        QDir().mkpath(root() + QStringLiteral("/dev/block"));
        QDir().mkpath(root() + QStringLiteral("/class/block"));
        QFile::link(target, root() + QStringLiteral("/dev/block/") + number);
        QFile::link(target, root() + QStringLiteral("/class/block/") + name);
    }
};

QString MountLine(int id, const QString& number, const QString& point, const QString& type,
                  const QString& source, const QString& options = QStringLiteral("rw")) {
    return QStringLiteral("%1 1 %2 / %3 rw,relatime shared:1 - %4 %5 %6\n")
        .arg(id)
        .arg(number, point, type, source, options);
}

} // namespace

class tst_DriveClassification : public QObject {
    Q_OBJECT

private slots:
    void classifiesMountDescriptions_data() {
        QTest::addColumn<MountDescription>("mount");
        QTest::addColumn<DriveType>("expected");

        QTest::newRow("local ext4 on virtio disk")
            << OnDevice(QStringLiteral("ext4"), Disk(QStringLiteral("vda"), QStringLiteral("0")))
            << DriveType::Fixed;
        QTest::newRow("local xfs on nvme")
            << OnDevice(QStringLiteral("xfs"), Disk(QStringLiteral("nvme0n1"), QStringLiteral("0")))
            << DriveType::Fixed;
        QTest::newRow("ntfs-3g on a fixed disk")
            << OnDevice(QStringLiteral("fuseblk"), Disk(QStringLiteral("sda"), QStringLiteral("0")))
            << DriveType::Fixed;
        QTest::newRow("usb stick")
            << OnDevice(QStringLiteral("vfat"), Disk(QStringLiteral("sdb"), QStringLiteral("1")))
            << DriveType::Removable;
        BlockDevice sdCard = Disk(QStringLiteral("mmcblk0"), QStringLiteral("0"));
        sdCard.cardType = QStringLiteral("SD");
        QTest::newRow("sd card in an mmc reader")
            << OnDevice(QStringLiteral("exfat"), sdCard) << DriveType::Removable;
        BlockDevice emmc = Disk(QStringLiteral("mmcblk1"), QStringLiteral("0"));
        emmc.cardType = QStringLiteral("MMC");
        QTest::newRow("soldered emmc")
            << OnDevice(QStringLiteral("ext4"), emmc) << DriveType::Fixed;
        QTest::newRow("removable attribute unreadable")
            << OnDevice(QStringLiteral("ext4"), Disk(QStringLiteral("sdc"), QString()))
            << DriveType::Unknown;

        QTest::newRow("nfs") << WithoutDevice(QStringLiteral("nfs4"), QStringLiteral("srv:/export"))
                             << DriveType::Network;
        QTest::newRow("cifs") << WithoutDevice(QStringLiteral("cifs"),
                                               QStringLiteral("//srv/share"))
                              << DriveType::Network;
        QTest::newRow("smb3") << WithoutDevice(QStringLiteral("smb3"),
                                               QStringLiteral("//srv/share"))
                              << DriveType::Network;
        QTest::newRow("sshfs") << WithoutDevice(QStringLiteral("fuse.sshfs"),
                                                QStringLiteral("me@srv:"))
                               << DriveType::Network;
        QTest::newRow("rclone") << WithoutDevice(QStringLiteral("fuse.rclone"),
                                                 QStringLiteral("gdrive:"))
                                << DriveType::Network;
        QTest::newRow("network block device")
            << OnDevice(QStringLiteral("ext4"), Disk(QStringLiteral("nbd0"), QStringLiteral("0")))
            << DriveType::Network;
        QTest::newRow("iscsi disk")
            << OnDevice(QStringLiteral("ext4"),
                        Disk(QStringLiteral("sdd"), QStringLiteral("0"),
                             QStringLiteral("/sys/devices/platform/host3/session1/target3:0:0/"
                                            "3:0:0:0/block/")))
            << DriveType::Network;

        QTest::newRow("iso9660") << OnDevice(QStringLiteral("iso9660"),
                                             Disk(QStringLiteral("sr0"), QStringLiteral("1")))
                                 << DriveType::Optical;
        QTest::newRow("udf") << OnDevice(QStringLiteral("udf"),
                                         Disk(QStringLiteral("sr0"), QStringLiteral("1")))
                             << DriveType::Optical;
        QTest::newRow("optical drive with another file system")
            << OnDevice(QStringLiteral("hfsplus"), Disk(QStringLiteral("sr1"), QStringLiteral("0")))
            << DriveType::Optical;

        QTest::newRow("tmpfs") << WithoutDevice(QStringLiteral("tmpfs"), QStringLiteral("tmpfs"))
                               << DriveType::RamDisk;
        QTest::newRow("ramfs") << WithoutDevice(QStringLiteral("ramfs"), QStringLiteral("none"))
                               << DriveType::RamDisk;
        QTest::newRow("zram") << OnDevice(QStringLiteral("ext4"),
                                          Disk(QStringLiteral("zram0"), QStringLiteral("0")))
                              << DriveType::RamDisk;

        QTest::newRow("proc") << WithoutDevice(QStringLiteral("proc"), QStringLiteral("proc"))
                              << DriveType::Unknown;
        QTest::newRow("encfs") << WithoutDevice(QStringLiteral("fuse.encfs"),
                                                QStringLiteral("encfs"))
                               << DriveType::Unknown;
        QTest::newRow("zfs without a device")
            << WithoutDevice(QStringLiteral("zfs"), QStringLiteral("pool/home"))
            << DriveType::Unknown;
        QTest::newRow("nothing known") << MountDescription() << DriveType::Unknown;
    }
    void classifiesMountDescriptions() {
        QFETCH(MountDescription, mount);
        QFETCH(DriveType, expected);
        QCOMPARE(DriveClassification::TypeName(Classify(mount)),
                 DriveClassification::TypeName(expected));
    }

    // Stacked devices and file systems are what they are built on.
    void classifiesStackedStorage() {
        BlockDevice lvm = Disk(QStringLiteral("dm-0"), QStringLiteral("0"));
        lvm.slaves = {Disk(QStringLiteral("nvme0n1"), QStringLiteral("0")),
                      Disk(QStringLiteral("sda"), QStringLiteral("0"))};
        QCOMPARE(Classify(OnDevice(QStringLiteral("ext4"), lvm)), DriveType::Fixed);
        // LUKS on a USB stick: the mapper device says 0, the stick 1.
        lvm.slaves.push_back(Disk(QStringLiteral("sdb"), QStringLiteral("1")));
        QCOMPARE(Classify(OnDevice(QStringLiteral("ext4"), lvm)), DriveType::Removable);
        // A mapper device whose parts are unknown.
        QCOMPARE(Classify(OnDevice(QStringLiteral("ext4"),
                                   Disk(QStringLiteral("dm-3"), QStringLiteral("0")))),
                 DriveType::Unknown);

        BlockDevice loop = Disk(QStringLiteral("loop2"), QStringLiteral("0"));
        QCOMPARE(Classify(OnDevice(QStringLiteral("ext4"), loop)), DriveType::Unknown);
        loop.backing = {
            OnDevice(QStringLiteral("ext4"), Disk(QStringLiteral("sda"), QStringLiteral("0")))};
        QCOMPARE(Classify(OnDevice(QStringLiteral("ext4"), loop)), DriveType::Fixed);
        loop.backing = {WithoutDevice(QStringLiteral("nfs"), QStringLiteral("srv:/images"))};
        QCOMPARE(Classify(OnDevice(QStringLiteral("ext4"), loop)), DriveType::Network);

        // A container's root: its layers lie outside this namespace and are the machine's own.
        MountDescription overlay =
            WithoutDevice(QStringLiteral("overlay"), QStringLiteral("overlay"));
        QCOMPARE(Classify(overlay), DriveType::Fixed);
        // A live system writes its overlay into memory.
        overlay.upperLayer = {WithoutDevice(QStringLiteral("tmpfs"), QStringLiteral("tmpfs"))};
        QCOMPARE(Classify(overlay), DriveType::RamDisk);
        overlay.upperLayer = {
            OnDevice(QStringLiteral("btrfs"), Disk(QStringLiteral("sda"), QStringLiteral("0")))};
        QCOMPARE(Classify(overlay), DriveType::Fixed);
    }

    void parsesMountInfo() {
        const QString text =
            QStringLiteral("27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
                           "40 27 0:41 /sub /media/My\\040Disk\\134x rw master:3 shared:2 - "
                           "btrfs /dev/sdb2 rw,subvol=/sub\n"
                           "broken line\n");
        const QList<DriveCheck::MountEntry> entries = DriveCheck::ParseMountInfo(text);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].mountPoint, QStringLiteral("/"));
        QCOMPARE(entries[0].fsType, QStringLiteral("ext4"));
        QCOMPARE(entries[1].majorMinor, QStringLiteral("0:41"));
        QCOMPARE(entries[1].root, QStringLiteral("/sub"));
        QCOMPARE(entries[1].mountPoint, QStringLiteral("/media/My Disk\\x"));
        QCOMPARE(entries[1].fsType, QStringLiteral("btrfs"));
        QCOMPARE(entries[1].source, QStringLiteral("/dev/sdb2"));
        QCOMPARE(entries[1].superOptions, QStringLiteral("rw,subvol=/sub"));
    }

    // The mount that holds a path, and the devices behind it, read from a made-up system.
    void describesPathsFromMountTableAndSysfs() {
        FakeSys sys;
        QVERIFY(sys.dir.isValid());
        const QString vda = sys.AddDisk(QStringLiteral("pci0000:00/virtio1/block"),
                                        QStringLiteral("vda"), QStringLiteral("254:0"), "0");
        const QString sdb = sys.AddDisk(QStringLiteral("pci0000:00/usb1/1-1/block"),
                                        QStringLiteral("sdb"), QStringLiteral("8:16"), "1");
        sys.AddPartition(sdb, QStringLiteral("sdb1"), QStringLiteral("8:17"));
        const QString dm = sys.AddDisk(QStringLiteral("virtual/block"), QStringLiteral("dm-0"),
                                       QStringLiteral("253:0"), "0");
        WriteFile(dm + QStringLiteral("/dm/name"), "vg-data\n");
        QDir().mkpath(dm + QStringLiteral("/slaves"));
        QFile::link(vda, dm + QStringLiteral("/slaves/vda"));
        const QString sdc =
            sys.AddDisk(QStringLiteral("pci0000:00/ata1/block"), QStringLiteral("sdc"),
                        QStringLiteral("8:32"), QByteArray());

        DriveCheck::SystemView view;
        view.sysRoot = sys.root();
        view.mountInfo = MountLine(1, QStringLiteral("254:0"), QStringLiteral("/"),
                                   QStringLiteral("ext4"), QStringLiteral("/dev/vda")) +
                         MountLine(2, QStringLiteral("8:17"), QStringLiteral("/media/stick"),
                                   QStringLiteral("vfat"), QStringLiteral("/dev/sdb1")) +
                         MountLine(3, QStringLiteral("0:52"), QStringLiteral("/data"),
                                   QStringLiteral("btrfs"), QStringLiteral("/dev/mapper/vg-data")) +
                         MountLine(4, QStringLiteral("0:53"), QStringLiteral("/net"),
                                   QStringLiteral("nfs4"), QStringLiteral("srv:/export")) +
                         MountLine(5, QStringLiteral("8:32"), QStringLiteral("/old"),
                                   QStringLiteral("ext4"), QStringLiteral("/dev/sdc")) +
                         // Mounted over /media/stick later: it hides the stick.
                         MountLine(6, QStringLiteral("0:54"), QStringLiteral("/media/stick"),
                                   QStringLiteral("tmpfs"), QStringLiteral("tmpfs"));

        const auto classify = [&view](const QString& path) {
            return Classify(DriveCheck::DescribePath(path, view));
        };
        MountDescription root = DriveCheck::DescribePath(QStringLiteral("/home/me/Videos"), view);
        QCOMPARE(root.mountPoint, QStringLiteral("/"));
        QVERIFY(root.hasDevice);
        QCOMPARE(root.device.name, QStringLiteral("vda"));
        QCOMPARE(root.device.removable, QStringLiteral("0"));
        QCOMPARE(classify(QStringLiteral("/home/me/Videos")), DriveType::Fixed);
        QCOMPARE(classify(QStringLiteral("/")), DriveType::Fixed);
        // "/media/stickers" is not inside "/media/stick".
        QCOMPARE(classify(QStringLiteral("/media/stickers")), DriveType::Fixed);
        QCOMPARE(classify(QStringLiteral("/media/stick/clips")), DriveType::RamDisk);
        QCOMPARE(classify(QStringLiteral("/net/clips")), DriveType::Network);
        QCOMPARE(classify(QStringLiteral("/old")), DriveType::Unknown);

        // A btrfs subvolume has an anonymous device number: its source names the mapper
        // device, built on vda.
        MountDescription data = DriveCheck::DescribePath(QStringLiteral("/data/x"), view);
        QCOMPARE(data.device.name, QStringLiteral("dm-0"));
        QCOMPARE(int(data.device.slaves.size()), 1);
        QCOMPARE(data.device.slaves.front().name, QStringLiteral("vda"));
        QCOMPARE(Classify(data), DriveType::Fixed);

        // Without the tmpfs over it the stick is found through its partition.
        view.mountInfo = MountLine(1, QStringLiteral("254:0"), QStringLiteral("/"),
                                   QStringLiteral("ext4"), QStringLiteral("/dev/vda")) +
                         MountLine(2, QStringLiteral("8:17"), QStringLiteral("/media/stick"),
                                   QStringLiteral("vfat"), QStringLiteral("/dev/sdb1"));
        MountDescription stick = DriveCheck::DescribePath(QStringLiteral("/media/stick"), view);
        QCOMPARE(stick.device.name, QStringLiteral("sdb"));
        QCOMPARE(Classify(stick), DriveType::Removable);

        // No mount table, no answer.
        view.mountInfo.clear();
        QCOMPARE(classify(QStringLiteral("/home")), DriveType::Unknown);
    }

    // An overlay whose upper layer can be found is classified by the mount that holds it.
    void followsOverlayUpperLayer() {
        QTemporaryDir upper;
        QVERIFY(upper.isValid());
        const QString upperPath = QFileInfo(upper.path()).canonicalFilePath();
        FakeSys sys;
        DriveCheck::SystemView view;
        view.sysRoot = sys.root();
        view.mountInfo = MountLine(1, QStringLiteral("0:30"), QStringLiteral("/"),
                                   QStringLiteral("overlay"), QStringLiteral("overlay"),
                                   QStringLiteral("rw,lowerdir=/lower,upperdir=") + upperPath +
                                       QStringLiteral(",workdir=/work")) +
                         MountLine(2, QStringLiteral("0:31"), upperPath, QStringLiteral("tmpfs"),
                                   QStringLiteral("tmpfs"));
        const MountDescription root = DriveCheck::DescribePath(QStringLiteral("/srv"), view);
        QCOMPARE(int(root.upperLayer.size()), 1);
        QCOMPARE(root.upperLayer.front().fsType, QStringLiteral("tmpfs"));
        QCOMPARE(Classify(root), DriveType::RamDisk);
    }
};

QTEST_GUILESS_MAIN(tst_DriveClassification)
#include "tst_DriveClassification.moc"
