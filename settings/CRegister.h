#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// The roots of the settings store, by their usual codes.
inline constexpr quint32 HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr quint32 HKEY_CURRENT_USER = 0x80000001u;
inline constexpr quint32 HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr quint32 HKEY_USERS = 0x80000003u;

// Reads, writes and deletes text values in the settings store: roots, keys below them addressed
// by paths whose levels are separated by "\", and in each key named values plus one unnamed
// value, which the value name "*" addresses.
//
// Each root is one file in Platform::StoreFolder() (settings/StoreFolder.h), named after the
// root ("HKEY_LOCAL_MACHINE.ini"); see settings/RegisterFile.h for its text. Every call reads
// the file afresh; changes are made under a lock file beside it, so that two running copies
// never lose each other's changes, and written in one atomic replacement, so that a reader
// always sees a complete file. A file that may be read but not written still reads.
//
// No call shows a message or lets an exception out: every failure (an unknown root, a key or
// value that does not exist, a store folder or file that cannot be read or written, a file that
// is not a store file) ends in the neutral result, the default text or false. A file that is
// not a store file is never overwritten.
class CRegister {
public:
    // Deletes the value `sKey` ("*" the unnamed value) of the key `sSection`. With an empty
    // `sKey` deletes the key `sSection` itself, taken as passed, with all its values, and only
    // when it has no subkeys. True when something was deleted.
    bool REGDeleteSetting(quint32 regHKEY, const QString& sSection, const QString& sKey) const;
    // The text of the value `sKey` ("*" the unnamed value) of the key `sSection`, or `sDefault`
    // when there is none or it is empty.
    QString REGGetSetting(quint32 regHKEY, const QString& sSection, const QString& sKey,
                          const QString& sDefault) const;
    // Writes `sValue` as the value `sKey` ("*" the unnamed value) of the key `sSection`, which
    // is created with any missing levels above it. True when it was written.
    bool REGSaveSetting(quint32 regHKEY, const QString& sSection, const QString& sKey,
                        const QString& sValue) const;

    // Whether the key `sSection` exists. Nothing when the root's file is there but cannot be
    // read as a store file (unreadable, not a regular file, not a store file); a missing file
    // holds no key.
    std::optional<bool> REGKeyExists(quint32 regHKEY, const QString& sSection) const;
    // The file that keeps the root, or an empty text for an unknown root or no store folder.
    static QString REGRootFile(quint32 regHKEY);

private:
    // The key path without one leading and then one trailing "\".
    static QString NormalizeSection(const QString& sSection);
};
