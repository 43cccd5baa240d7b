#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

// Catalog texts for the tests: lines joined with CR LF, written as UTF-8.
namespace CatalogFiles {

inline QByteArray Lines(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n")).toUtf8();
}

inline bool Write(const QString& folder, const QString& fileName, const QByteArray& bytes) {
    QFile file(QDir(folder).filePath(fileName));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace CatalogFiles
