#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

// The about panel: product, maker, version, the encoder credit and the maker's web site.
class AboutPanel : public QFrame {
    Q_OBJECT

public:
    explicit AboutPanel(QWidget* parent = nullptr);

    static const QUrl FFmpegSite;
    static const QUrl MakerSite;

    QLabel* lblVer = nullptr;
    QLabel* lblFFmpeg = nullptr;
    QLabel* lblWebSite = nullptr;
    QPushButton* cmdCloseHelp = nullptr;
};
