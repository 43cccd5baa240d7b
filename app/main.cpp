#include "app/frmMain.h"

#include <QApplication>
#include <clocale>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenlet"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    // libmpv needs the C locale's number format; QApplication sets the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    frmMain window;
    window.show();
    return QApplication::exec();
}
