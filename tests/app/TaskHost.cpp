// The program's window running one cut, for the tests that end it from outside as a desktop does
// (SIGTERM, SIGHUP, SIGKILL). Arguments: the input, the output folder, the end mark in seconds.
// It prints "encoding <pid>" once the encoder runs, and every message box's text as
// "message: <text>" instead of showing it, and "ended" when its event loop has returned. Without
// arguments it only starts and closes, as a program started after a killed one does.
#include "app/MainPanel.h"
#include "app/Session.h"
#include "app/frmMain.h"
#include "engine/Platform.h"
#include "preview/Slider.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The catalogs beside the program in the build folder.
    const TestSupport::ApplicationFolderOverride folder(TestSupport::BuildFolder());
    Platform::SetMessageFunction([](const QString& text, Platform::MessageIcon) {
        std::printf("message: %s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    frmMain window;
    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.size() < 3) {
        window.close();
        return 0;
    }
    MainPanel* panel = window.frMain;
    window.session->SetInputFile(arguments.at(0));
    window.session->SetNoMedia(false);
    panel->optOtherFolder->setChecked(true);
    panel->txtOutPath->setText(arguments.at(1));
    panel->Slider->SetMax(100000);
    panel->Slider->SetSelectStart(0);
    panel->Slider->SetSelectEnd(arguments.at(2).toInt());

    bool told = false;
    Platform::SetProcessEventsFunction([&told] {
        QCoreApplication::processEvents();
        const QList<pid_t> encoders = TestSupport::Encoders();
        if (!told && !encoders.isEmpty()) {
            told = true;
            std::printf("encoding %d\n", static_cast<int>(encoders.first()));
            std::fflush(stdout);
        }
    });
    QTimer::singleShot(0, panel->cmdConvert, &QPushButton::click);
    const int status = QApplication::exec();
    // The program's own work is over here; what follows is the process's exit (and, in a
    // sanitizer build, the leak check's scan of its memory).
    std::printf("ended\n");
    std::fflush(stdout);
    return status;
}
