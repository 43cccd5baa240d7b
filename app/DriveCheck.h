#pragma once

#include "app/DriveClassification.h"

#include <QList>
#include <QString>
#include <functional>

// Whether a folder lies on a fixed disk: finds the mount that holds it in /proc/self/mountinfo
// (the longest mount point that contains the folder's canonical path), follows the mount's
// device through sysfs (/sys/dev/block/<major>:<minor>, from a partition to its disk, through
// device-mapper and md devices to the disks they are built on, from a loop device to the mount
// of its backing file, from an overlay to the mount of its upper layer) and classifies what it
// found with DriveClassification::Classify.
namespace DriveCheck {

// What the check reads of the system: the mount table and the sysfs tree. Tests hand in their
// own; the live system is /proc/self/mountinfo and /sys.
struct SystemView {
    QString mountInfo;
    QString sysRoot = QStringLiteral("/sys");
};
SystemView LiveSystem();

// One line of /proc/self/mountinfo, with its escapes (\040 for a blank, ...) undone.
struct MountEntry {
    QString majorMinor; // "254:0"
    QString root;
    QString mountPoint;
    QString fsType;
    QString source;
    QString superOptions;
};
QList<MountEntry> ParseMountInfo(const QString& text);

// Describes the mount that holds `canonicalPath` (an absolute path without links or "..")
// and the devices behind it. A path that no mount holds gives an empty description (Unknown).
DriveClassification::MountDescription DescribePath(const QString& canonicalPath,
                                                   const SystemView& view);

// The live check: true when the folder exists and lies on a fixed disk. Goes through the
// installed check function when one is installed.
bool IsFixedDisk(const QString& folder);

using DriveCheckFunction = std::function<bool(const QString& folder)>;
// Replaces the check (tests); an empty function restores the real one. Returns the previous.
DriveCheckFunction SetDriveCheckFunction(DriveCheckFunction function);

} // namespace DriveCheck
