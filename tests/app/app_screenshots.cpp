// Renders the main window in its main states to PNG files, for the README and for looking at
// what users see: app_screenshots <folder>
#include "app/AboutPanel.h"
#include "app/MainPanel.h"
#include "app/SlidingPanels.h"
#include "app/frmMain.h"
#include "engine/Platform.h"
#include "formats/FormatPanel.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>

namespace {

void RaisePanel(frmMain& window, QWidget* panel) {
    window.panels->OpenPanel(panel);
    window.panels->tmrAnimate()->stop();
    while (window.panels->Top(panel) > 2715.0F) {
        window.panels->SlidePanelUpStep();
    }
    window.panels->tmrAnimate()->stop();
}

void LowerPanel(frmMain& window, QWidget* panel) {
    window.panels->ClosePanel();
    window.panels->tmrAnimate()->stop();
    while (!window.frMain->isEnabled()) {
        window.panels->SlidePanelDownStep();
    }
    (void)panel;
}

void Save(QWidget& window, const QString& path) {
    QApplication::processEvents();
    window.grab().save(path);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QUENLET_NO_POWEROFF", "1");
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    std::setlocale(LC_NUMERIC, "C");
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    // The window shows the first-start settings and remembers nothing of this run.
    QTemporaryDir store;
    qputenv("QUENLET_STORE_DIR", QFile::encodeName(store.path()));
    // The catalogs lie beside the program in the build folder.
    Platform::SetApplicationFolder(TestSupport::BuildFolder());
    frmMain window;
    window.show();
    QApplication::processEvents();
    Save(window, folder + QStringLiteral("/main.png"));

    RaisePanel(window, window.frFormats);
    Save(window, folder + QStringLiteral("/format-presets.png"));
    window.frFormats->optFormat[1]->click();
    Save(window, folder + QStringLiteral("/format-custom.png"));
    window.frFormats->optFormat[0]->click();
    LowerPanel(window, window.frFormats);

    RaisePanel(window, window.frAbout);
    Save(window, folder + QStringLiteral("/about.png"));
    return 0;
}
