#include "app/frmMain.h"

#include "engine/Platform.h"

frmMain::frmMain(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QString::fromLatin1(Platform::ApplicationTitle));
    // The main panel is 10920 x 8070 twips, at 15 twips a pixel.
    setFixedSize(728, 538);
}
