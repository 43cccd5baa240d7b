#pragma once

#include <QWidget>

// The main window: the composition root that owns every control and every part of Quenlet.
class frmMain : public QWidget {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
};
