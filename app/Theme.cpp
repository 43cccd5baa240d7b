#include "app/Theme.h"

namespace Theme {

QPalette Palette() {
    QPalette palette;
    const QColor window(0x1e, 0x22, 0x28);
    const QColor base(0x17, 0x1a, 0x1f);
    const QColor text(0xe4, 0xe7, 0xec);
    const QColor button(0x32, 0x39, 0x44);
    const QColor accent(0x3b, 0x82, 0xf6);
    const QColor disabled(0x6b, 0x73, 0x80);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(0x23, 0x28, 0x2f));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x6c, 0xa6, 0xff));
    palette.setColor(QPalette::LinkVisited, QColor(0x6c, 0xa6, 0xff));
    palette.setColor(QPalette::ToolTipBase, QColor(0x2b, 0x31, 0x3a));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, disabled);
    }
    return palette;
}

QString StyleSheet() {
    return QStringLiteral(R"(
QWidget { font-size: 9pt; }
QFrame#frMain { background: #1e2228; }
QLabel#appTitle { font-size: 13pt; font-weight: 600; color: #f2f4f7; padding-left: 4px; }
QPushButton[titleButton="true"] {
    background: transparent; border: none; border-radius: 5px; color: #c3c9d3;
    font-weight: 600; padding: 0;
}
QPushButton[titleButton="true"]:hover { background: #323944; color: #ffffff; }
QPushButton#cmdClose:hover { background: #d9443b; color: #ffffff; }
QPushButton[titleButton="true"]:disabled { background: transparent; color: #566070; }
QPushButton[titleButton="true"]:focus { border: 1px solid #3b82f6; }

QFrame#savedLine {
    background: #1d3328; border: 1px solid #2f6b4a; border-radius: 6px; min-height: 22px;
}
QLabel#savedMark { color: #4ade80; font-weight: 700; }
QLabel#lblSaved { color: #e4e7ec; }
QLabel#lblSavedNote { color: #9aa4b2; }
QPushButton[linkButton="true"] {
    background: transparent; border: 1px solid transparent; border-radius: 3px;
    color: #6ca6ff; padding: 0 3px; min-height: 0; text-decoration: underline;
}
QPushButton[linkButton="true"]:hover { color: #9cc3ff; background: transparent; }
QPushButton[linkButton="true"]:focus { border-color: #3b82f6; }

QGroupBox {
    background: #262b33; border: 1px solid #343b46; border-radius: 8px;
    margin-top: 0; padding-top: 22px; color: #e4e7ec;
}
QGroupBox::title {
    subcontrol-origin: padding; subcontrol-position: top left; left: 10px; top: 5px;
    padding: 0 2px; color: #9fb8e6; font-weight: 600;
}
QGroupBox[closerLook="true"] {
    background: #000000; border: none; border-radius: 0; padding-top: 0;
}
QFrame#frAbout, QFrame#frFormats {
    background: #2b313a; border: 1px solid #4b5565; border-radius: 10px;
}
QFrame#frFormats QGroupBox { background: #262b33; }
QLabel#panelTitle { color: #9fb8e6; font-weight: 600; font-size: 10pt; }

QLabel#stepNumber {
    background: #3b82f6; color: #ffffff; border-radius: 11px; font-weight: 700;
}
QLabel#stepCaption { font-weight: 600; color: #e4e7ec; }
QLabel[markLabel="true"] {
    background: #17191e; border: 1px solid #343b46; border-radius: 4px; padding: 2px 4px;
    font-family: "DejaVu Sans Mono", monospace; color: #e4e7ec;
}
QLabel#lblTime { font-family: "DejaVu Sans Mono", monospace; color: #c3c9d3; }
QLabel#lblFormat { color: #c3c9d3; font-size: 8pt; }
QLabel#aboutProduct { font-size: 18pt; font-weight: 700; color: #ffffff; }
QLabel#aboutCompany { color: #9aa4b2; }

QFrame#picVideoWindow { background: #000000; border: 1px solid #343b46; border-radius: 4px; }
QFrame#divider { color: #343b46; }

QPushButton {
    background: #323944; border: 1px solid #414a57; border-radius: 5px; padding: 4px 10px;
    color: #e4e7ec; min-height: 18px;
}
QPushButton:hover { background: #3b4350; border-color: #56627a; }
QPushButton:pressed { background: #2b313a; }
QPushButton:disabled { color: #6b7380; background: #2a2f37; border-color: #353c47; }
QPushButton:focus { border-color: #3b82f6; }
QPushButton[accent="true"], QPushButton:default {
    background: #3b82f6; border-color: #3b82f6; color: #ffffff; font-weight: 600;
}
QPushButton[accent="true"]:hover, QPushButton:default:hover { background: #5593f8; }
QPushButton[accent="true"]:disabled { background: #2c4a7a; color: #9aa4b2; }

QLineEdit, QComboBox {
    background: #17191e; border: 1px solid #3a424e; border-radius: 4px; padding: 2px 6px;
    color: #e4e7ec; min-height: 18px; selection-background-color: #3b82f6;
}
QLineEdit:focus, QComboBox:focus { border-color: #3b82f6; }
QLineEdit:disabled, QComboBox:disabled { color: #6b7380; background: #22262c; }
QComboBox::drop-down { border: none; width: 18px; }
QComboBox QAbstractItemView {
    background: #20242b; border: 1px solid #3a424e; selection-background-color: #3b82f6;
    color: #e4e7ec;
}

QProgressBar {
    background: #17191e; border: 1px solid #3a424e; border-radius: 4px; text-align: center;
    color: #e4e7ec; font-size: 8pt;
}
QProgressBar::chunk { background: #3b82f6; border-radius: 3px; }
QToolTip { background: #2b313a; color: #e4e7ec; border: 1px solid #4b5565; }
)");
}

} // namespace Theme
