#pragma once

#include <QString>
#include <vector>

// Tells what kind of drive a mounted file system lives on, from a description of its mount and
// of the block devices behind it. Only a local, non-removable disk counts as a fixed disk.
namespace DriveClassification {

enum class DriveType {
    Fixed,     // a local disk that stays in the machine
    Removable, // a medium that can be taken out: USB stick, SD card, floppy
    Network,   // a file system or block device served over the network
    Optical,   // CD, DVD, Blu-ray (or their image file systems)
    RamDisk,   // memory: tmpfs, ramfs, zram, brd RAM disks
    Unknown,   // anything that cannot be classified (pseudo file systems, missing facts)
};

struct MountDescription;

// One block device, as sysfs describes it.
struct BlockDevice {
    // Kernel name of the whole disk ("vda", "sda", "nvme0n1", "dm-0", "mmcblk0", "loop3"), after
    // going from a partition to the disk that holds it.
    QString name;
    // The disk's device path under /sys/devices ("/sys/devices/pci0000:00/.../block/sda").
    QString devicePath;
    // The disk's "removable" attribute as read ("0" or "1"); empty when it could not be read.
    QString removable;
    // For MMC disks, the card type of device/type ("SD", "MMC", "SDIO"); empty otherwise.
    QString cardType;
    // The devices a device-mapper or md device is built on (LVM, LUKS, RAID): its "slaves".
    std::vector<BlockDevice> slaves;
    // For a loop device: the mount that holds its backing file, when it could be found.
    std::vector<MountDescription> backing;
};

// One mount, as /proc/self/mountinfo describes it, with the facts found behind it.
struct MountDescription {
    QString mountPoint;
    QString fsType; // "ext4", "overlay", "nfs4", "fuse.sshfs", "fuseblk", ...
    QString source; // "/dev/vda", "server:/export", "overlay", "tmpfs", ...
    // The block device behind the file system, when one was found.
    bool hasDevice = false;
    BlockDevice device;
    // For an overlay: the mount that holds its upper (written) layer, when it could be found
    // in this mount namespace.
    std::vector<MountDescription> upperLayer;
};

// Classifies the drive a mount lives on. Pure: looks only at the description.
//
// - Network file systems (nfs, cifs, smb3, sshfs and the other FUSE network file systems, ...)
//   are Network; tmpfs and ramfs RamDisk; iso9660 and udf Optical; pseudo file systems and FUSE
//   file systems that cannot be told apart Unknown.
// - An overlay is classified by the mount of its upper layer when that is known. When it is
//   not (inside a container the layers lie in the host's mount namespace), it is the
//   container's or live system's own root: its layers are kept by the machine itself, so it
//   counts as Fixed. An overlay whose upper layer is on tmpfs (a live system) is a RamDisk.
// - A block device: RAM-backed devices (zram, ram) are RamDisk; network block devices (nbd,
//   rbd, iSCSI disks) Network; sr Optical; a loop device is classified by the mount of its
//   backing file (Unknown when that is not known); a device-mapper or md device by all the
//   devices it is built on (Fixed only when every one is Fixed, else the first other kind);
//   otherwise its "removable" attribute decides (1 Removable, 0 Fixed, unreadable Unknown),
//   except that an SD card in an MMC reader is Removable whatever the attribute says.
// - A file system that needs a device but has none known is Unknown.
DriveType Classify(const MountDescription& mount);

// The readable name of a drive type ("fixed disk", "network", ...), for logs and tests.
QString TypeName(DriveType type);

} // namespace DriveClassification
