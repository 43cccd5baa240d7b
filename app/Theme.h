#pragma once

#include <QPalette>
#include <QString>

// Quenlet's look: a dark scheme that keeps the video in focus, with one blue accent.
namespace Theme {

QPalette Palette();
QString StyleSheet();

} // namespace Theme
