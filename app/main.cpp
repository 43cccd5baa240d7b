#include "app/InputIntake.h"
#include "app/StartupArguments.h"
#include "app/frmMain.h"
#include "preview/PreviewPlayer.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <clocale>
#include <cstdio>

namespace {

// Prints the help, the version or the complaint about the command line, and gives the status
// to exit with.
int Answer(const StartupArguments& arguments) {
    const QByteArray text = arguments.text.toLocal8Bit();
    std::FILE* stream = arguments.action == StartupArguments::Action::Error ? stderr : stdout;
    std::fputs(text.constData(), stream);
    std::fflush(stream);
    return arguments.exitCode;
}

// The application icon in every size the desktop asks for (compiled into the program).
QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace

int main(int argc, char* argv[]) {
    // The command line is answered before the window system is opened, so --help, --version
    // and usage errors work without a display.
    QStringList given;
    for (int i = 0; i < argc; ++i) {
        given.append(QString::fromLocal8Bit(argv[i]));
    }
    const StartupArguments arguments = StartupArguments::Parse(given);
    if (arguments.action != StartupArguments::Action::Run) {
        return Answer(arguments);
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenlet"));
    QApplication::setApplicationVersion(QStringLiteral(QUENLET_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(QUENLET_APP_ID));
    QApplication::setWindowIcon(ApplicationIcon());
    QApplication::setStyle(QStringLiteral("Fusion"));
    // libmpv needs the C locale's number format; QApplication sets the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    frmMain window;
    // The preview's engine and its OpenGL picture are made before the window is shown, so the
    // window is created for OpenGL drawing from the start (an OpenGL picture added to a window
    // already on the screen makes Qt create that window again, which shows as a flash) and the
    // first file opens as fast as any later one.
    window.player->PrepareEngine();
    window.show();
    if (!arguments.file.isEmpty()) {
        // Taken in once the window is up, with its catalogs and settings loaded.
        QTimer::singleShot(0, window.intake, [&window, file = arguments.file] {
            window.intake->TakeInStartupFile(file);
        });
    }
    return QApplication::exec();
}
