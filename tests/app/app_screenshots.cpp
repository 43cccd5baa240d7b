// Renders the main window in its main states to PNG files, for the README and for looking at
// what users see: app_screenshots <folder>
#include "app/AboutPanel.h"
#include "app/CloserLook.h"
#include "app/MainPanel.h"
#include "app/SavedLine.h"
#include "app/SlidingPanels.h"
#include "app/TaskReport.h"
#include "app/frmMain.h"
#include "engine/Platform.h"
#include "formats/FormatPanel.h"
#include "preview/CutSelection.h"
#include "preview/PreviewPlayer.h"
#include "preview/Slider.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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

// Lets the window and the player run for a while (frames are drawn by the event loop).
void Run(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// Seeks the preview to a second as a release of the mouse on the slider does.
void SeekTo(frmMain& window, qint32 second) {
    window.frMain->Slider->SetValue(second);
    qint16 button = 1;
    qint16 shift = 0;
    double x = 0;
    double y = 0;
    window.player->Slider_MouseUp(button, shift, x, y);
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
    // As the program starts: the preview's engine is made with the window.
    window.player->PrepareEngine();
    window.show();
    Run(500);
    Save(window, folder + QStringLiteral("/main.png"));

    RaisePanel(window, window.frFormats);
    Save(window, folder + QStringLiteral("/format-presets.png"));
    window.frFormats->optFormat[1]->click();
    Save(window, folder + QStringLiteral("/format-custom.png"));
    window.frFormats->optFormat[0]->click();
    LowerPanel(window, window.frFormats);

    RaisePanel(window, window.frAbout);
    Save(window, folder + QStringLiteral("/about.png"));
    LowerPanel(window, window.frAbout);

    // A clip loaded, paused, with a marked range (needs an X display with OpenGL).
    QTemporaryDir clips;
    const QString clip = clips.filePath(QStringLiteral("clip.mp4"));
    if (TestSupport::MakeClip(clip, 12.0, QStringLiteral("640x360"))) {
        window.player->LoadVideo(clip);
        window.frMain->Slider->SetEnabled(true);
        Run(1500);
        window.frMain->cmdPlay->click();
        SeekTo(window, 3);
        window.selection->cmdStartSelect_Click();
        SeekTo(window, 8);
        window.selection->cmdEndSelect_Click();
        SeekTo(window, 5);
        Run(800);
        Save(window, folder + QStringLiteral("/main-playing.png"));

        // A cut under way, with the time left and the encoder's speed on the bar.
        window.frMain->lblProgress->show();
        window.frMain->progress->show();
        window.frMain->progress->setValue(42);
        window.frMain->progress->setFormat(TaskReport::EstimateFormat({7.0, 2.4}));
        Save(window, folder + QStringLiteral("/main-cutting.png"));

        // The cut saved: where it went, with Open and Show in Folder.
        window.frMain->progress->setFormat(TaskReport::PlainFormat);
        window.frMain->progress->setValue(100);
        window.frMain->savedLine->ShowSaved(QDir::homePath() +
                                            QStringLiteral("/Cut Files/holiday.mp4"));
        Save(window, folder + QStringLiteral("/main-saved.png"));
        window.frMain->savedLine->Clear();

        // The closer look, on a screen of 1280 x 1024, saved at half its size.
        window.closer->Enter();
        Run(800);
        window.grab()
            .toImage()
            .scaledToWidth(window.width() / 2, Qt::SmoothTransformation)
            .save(folder + QStringLiteral("/closer-look.png"));
        window.closer->Leave();
    }
    return 0;
}
