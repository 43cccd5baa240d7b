#include "settings/StoreFolder.h"

#include <QDir>

#include <utility>

namespace Platform {
namespace {

StoreFolderFunction& storeFolderFunction() {
    static StoreFolderFunction function;
    return function;
}

QString RealStoreFolder() {
    const QString explicitFolder = qEnvironmentVariable("QUENLET_STORE_DIR");
    if (!explicitFolder.isEmpty()) {
        return explicitFolder;
    }
    // The XDG base directory rules ignore a configuration home that is not absolute.
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome)) {
        configHome = QDir::homePath() + QStringLiteral("/.config");
    }
    return configHome + QStringLiteral("/Corvanel Quenlet");
}

} // namespace

QString StoreFolder() {
    if (storeFolderFunction()) {
        return storeFolderFunction()();
    }
    return RealStoreFolder();
}

StoreFolderFunction SetStoreFolderFunction(StoreFolderFunction function) {
    return std::exchange(storeFolderFunction(), std::move(function));
}

} // namespace Platform
