#pragma once

#include <QFrame>

class QCheckBox;
class QGroupBox;
class QLabel;
class QVBoxLayout;
class SavedLine;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class Slider;

// The main panel "Quenlet": the window's own title bar with its buttons, and the three steps to
// cut a video (load and mark, output format and folder, start) with all their controls. It
// only lays the controls out; the parts of the program that own each control give it its
// behaviour.
class MainPanel : public QFrame {
    Q_OBJECT

public:
    explicit MainPanel(QWidget* parent = nullptr);

    // Title bar, with the line that tells where the last cut went.
    SavedLine* savedLine = nullptr;
    QPushButton* cmdAbout = nullptr;
    QPushButton* MyButton1 = nullptr; // help
    QPushButton* cmdMinimize = nullptr;
    QPushButton* cmdClose = nullptr;

    // Step 1: load and mark.
    QPushButton* cmdAddVideoFile = nullptr;
    QFrame* picVideoWindow = nullptr;
    ::Slider* Slider = nullptr;
    QLabel* lblTime = nullptr;
    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdStartSelect = nullptr;
    QPushButton* cmdEndSelect = nullptr;
    QPushButton* cmdDeleteSelect = nullptr;
    QLabel* lblStartSelect = nullptr;
    QLabel* lblEndSelect = nullptr;

    // Step 2: format and folder.
    QLabel* lblFormat = nullptr;
    QPushButton* cmdChangeFormat = nullptr;
    QRadioButton* optSameFolder = nullptr;
    QRadioButton* optOtherFolder = nullptr;
    QLineEdit* txtOutPath = nullptr;
    QPushButton* cmdBrowse = nullptr;

    // Step 3: the task.
    QPushButton* cmdConvert = nullptr;
    QCheckBox* chkShutdown = nullptr;
    QLabel* lblProgress = nullptr;
    QProgressBar* progress = nullptr;

    // The closer look: only the picture, the seek slider with the time, and the playback and
    // mark buttons, filling the panel at any size; off again, the panel has its own fixed size.
    void SetCloserLook(bool closer);
    bool CloserLook() const { return closerLook_; }

    static constexpr int PanelWidth = 728;
    static constexpr int PanelHeight = 538;
    static constexpr int PictureHeight = 214;

Q_SIGNALS:
    // A mouse button was pressed on the panel itself (not on one of its controls).
    void PanelPressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QWidget* BuildTitleBar();
    QWidget* BuildStepOne(QWidget* parent);
    QWidget* BuildStepTwo(QWidget* parent);
    QWidget* BuildStepThree(QWidget* parent);
    // Names and descriptions for screen readers, where the caption says too little.
    void DescribeControls();

    QVBoxLayout* layout_ = nullptr;
    QWidget* titleBar_ = nullptr;
    QGroupBox* frSteps_ = nullptr;
    QVBoxLayout* stepsLayout_ = nullptr;
    QWidget* stepOne_ = nullptr;
    QVBoxLayout* stepOneLayout_ = nullptr;
    QWidget* stepOneHeader_ = nullptr;
    QWidget* stepsBottom_ = nullptr;
    bool closerLook_ = false;
};
