#pragma once

#include <QString>
#include <functional>

// Where the settings store keeps its files: one replaceable function, like the other desktop
// facilities in engine/Platform.h.
namespace Platform {

using StoreFolderFunction = std::function<QString()>;

// The folder of the settings store: the folder named by the environment variable
// QUENLET_STORE_DIR when it is set and not empty, else "Corvanel Quenlet" in
// $XDG_CONFIG_HOME (when that is an absolute path), else in ~/.config. The folder may not
// exist yet; it is created when something is first saved.
QString StoreFolder();

// Replaces the lookup (tests); an empty function restores the real one. Returns the previous.
StoreFolderFunction SetStoreFolderFunction(StoreFolderFunction function);

} // namespace Platform
