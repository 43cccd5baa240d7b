#include "engine/OutputNaming.h"

#include "engine/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBoundaryFinder>

namespace OutputNaming {

namespace {

constexpr int LastNumber = 10000;
const QString ConvertedSuffix = QStringLiteral("_Converted");

qsizetype NameBytes(const QString& name) {
    return QFile::encodeName(name).size();
}

} // namespace

QString FittingName(const QString& stem, const QString& ending) {
    if (NameBytes(stem + ending) <= NameLimit) {
        return stem + ending;
    }
    // The longest start of the stem, ending at a character boundary, that fits.
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, stem);
    boundaries.toEnd();
    for (qsizetype end = boundaries.toPreviousBoundary(); end > 0;
         end = boundaries.toPreviousBoundary()) {
        const QString name = stem.left(end) + ending;
        if (NameBytes(name) <= NameLimit) {
            return name;
        }
    }
    return NameBytes(ending) <= NameLimit ? ending : stem + ending;
}

QString FolderPath(const QString& folderText) {
    if (folderText == QLatin1String("~")) {
        return QDir::homePath();
    }
    if (folderText.startsWith(QLatin1String("~/"))) {
        return QDir::homePath() + folderText.mid(1);
    }
    return folderText;
}

bool NameTaken(const QString& path) {
    const QFileInfo entry(path);
    return entry.exists() || entry.isSymLink();
}

QString FreeOutputName(const QString& folder, const QString& inputPath, const QString& extension) {
    const QString base = QFileInfo(inputPath).completeBaseName();
    QString prefix = folder;
    if (!prefix.endsWith(QLatin1Char('/'))) {
        prefix += QLatin1Char('/');
    }
    const QString dotExtension = QLatin1Char('.') + extension;

    QString candidate = prefix + FittingName(base, dotExtension);
    if (!NameTaken(candidate)) {
        return candidate;
    }
    // The stem that a shortened name gives up first: the suffix and the number stay whole.
    QString stem = base;
    if (base.endsWith(ConvertedSuffix)) { // letter case counts
        stem.chop(ConvertedSuffix.size());
    } else {
        candidate = prefix + FittingName(stem, ConvertedSuffix + dotExtension);
        if (!NameTaken(candidate)) {
            return candidate;
        }
    }
    for (int n = 0; n <= LastNumber; ++n) {
        Platform::ProcessEvents();
        Platform::ProcessEvents();
        candidate = prefix + FittingName(stem, ConvertedSuffix + QLatin1Char('_') +
                                                   QString::number(n) + dotExtension);
        if (!NameTaken(candidate)) {
            return candidate;
        }
    }
    return {};
}

} // namespace OutputNaming
