#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// The contents of one root file of the settings store: the keys below the root, each with its
// values, and the text form in which they are kept on disk.
//
// A key is addressed by its levels (the parts of a key path between the "\"s); the root key
// itself has no levels. A key exists on its own, with or without values, and every existing
// key's parent exists too. In each key a value is a name and a text; the unnamed value has the
// empty name.
//
// The file is UTF-8 text, one item a line:
//
//     Quenlet settings store 1
//     ; HKEY_LOCAL_MACHINE
//     [Software]
//     [Software\Corvanel Quenlet]
//     [Software\Corvanel Quenlet\Settings]
//     @="the unnamed value"
//     "txtOutPath"="C:\\Cut Files"
//
// The first line marks the file as a store file. A line in brackets starts a key and names it
// by its path; in the path "%" stands for itself as "%25", and control characters and unpaired
// surrogates are written as "%XX" or "%uXXXX". Values follow their key ("@" is the unnamed
// value); values before the first key belong to the root key. Names and texts are quoted, with
// "\\", "\"", "\n", "\r", "\t", "\xXX" (other control characters) and "\uXXXX" (unpaired
// surrogates) as escapes, so every text comes back unchanged. Lines starting with ";" and empty
// lines are comments. Anything else makes the file unreadable as a whole.
class RegisterFile {
public:
    struct Value {
        QString name; // empty for the unnamed value
        QString text;
    };
    using Levels = QStringList;

    // An empty store: the root key only.
    RegisterFile();

    // Reads the text of a store file; an empty text is an empty store. Returns nothing when the
    // text is not a store file (no mark, a line that does not parse, bad UTF-8).
    static std::optional<RegisterFile> Parse(const QByteArray& data);
    // The text of the file; `rootName` goes into the comment line under the mark.
    QByteArray Serialize(const QString& rootName) const;

    bool HasKey(const Levels& key) const { return keys_.contains(key); }
    // Creates the key with every missing level above it; an existing key is left as it is.
    void CreateKey(const Levels& key);
    bool HasSubkeys(const Levels& key) const;
    // Removes the key with its values (never the root key, never a key that has subkeys).
    bool RemoveKey(const Levels& key);

    // The value of that name in the key, or nothing when the key or the value does not exist.
    std::optional<QString> ValueText(const Levels& key, const QString& name) const;
    // Sets the value in an existing key, replacing an earlier value of that name in its place.
    void SetValue(const Levels& key, const QString& name, const QString& text);
    bool RemoveValue(const Levels& key, const QString& name);

private:
    // Values keep the order in which they were first written.
    QMap<Levels, QList<Value>> keys_;
};
