// Renders the seek slider in both styles into a PNG, for the documentation:
//   slider_screenshot <output.png>
// Run with QT_QPA_PLATFORM=offscreen, and QT_SCALE_FACTOR=2 for the high-density picture.
#include "preview/PropertyBag.h"
#include "preview/Slider.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace {

// One panel: a horizontal seek bar with a selection and three vertical level meters.
QWidget* Panel(QWidget* parent, const QColor& background, const QColor& text, int x) {
    auto* panel = new QWidget(parent);
    panel->setGeometry(x, 0, 400, 150);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    panel->setPalette(palette);

    auto* seek = new Slider(panel);
    seek->ReadProperties(PropertyBag(QVariantMap{{"Value", 0}, {"Max", 1000}, {"Min", 0}}));
    seek->setGeometry(20, 20, 360, 20);
    seek->SetValue(610);
    seek->SetSelectStart(250);
    seek->SetSelectEnd(610);

    auto* plain = new Slider(panel);
    plain->ReadProperties(PropertyBag(QVariantMap{{"BackColor", 0x4d413a}}));
    plain->setGeometry(20, 50, 360, 20);
    plain->SetValue(-40);

    const int levels[] = {-60, 0, 80};
    for (int i = 0; i < 3; ++i) {
        auto* meter = new Slider(panel);
        meter->ReadProperties(PropertyBag(QVariantMap{{"Style", 1}}));
        meter->setGeometry(40 + i * 40, 80, 20, 64);
        meter->SetValue(levels[i]);
    }
    auto* label = new QLabel(QStringLiteral("Quenlet seek slider"), panel);
    label->move(180, 100);
    return panel;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        return 2;
    }
    QWidget window;
    window.resize(800, 150);
    Panel(&window, QColor(0xf3, 0xf4, 0xf6), QColor(0x20, 0x24, 0x2a), 0);
    Panel(&window, QColor(0x22, 0x25, 0x2b), QColor(0xe6, 0xe8, 0xeb), 400);
    window.show();
    QApplication::processEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
