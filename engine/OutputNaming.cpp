#include "engine/OutputNaming.h"

#include "engine/Platform.h"

#include <QFileInfo>

namespace OutputNaming {

namespace {

constexpr int LastNumber = 10000;
const QString ConvertedSuffix = QStringLiteral("_Converted");

} // namespace

bool NameTaken(const QString& path) {
    const QFileInfo entry(path);
    return entry.exists() || entry.isSymLink();
}

QString FreeOutputName(const QString& folder, const QString& inputPath, const QString& extension) {
    QString base = QFileInfo(inputPath).completeBaseName();
    QString prefix = folder;
    if (!prefix.endsWith(QLatin1Char('/'))) {
        prefix += QLatin1Char('/');
    }
    const QString dotExtension = QLatin1Char('.') + extension;

    QString candidate = prefix + base + dotExtension;
    if (!NameTaken(candidate)) {
        return candidate;
    }
    if (!base.endsWith(ConvertedSuffix)) { // letter case counts
        base += ConvertedSuffix;
        candidate = prefix + base + dotExtension;
        if (!NameTaken(candidate)) {
            return candidate;
        }
    }
    for (int n = 0; n <= LastNumber; ++n) {
        Platform::ProcessEvents();
        Platform::ProcessEvents();
        candidate = prefix + base + QLatin1Char('_') + QString::number(n) + dotExtension;
        if (!NameTaken(candidate)) {
            return candidate;
        }
    }
    return {};
}

} // namespace OutputNaming
