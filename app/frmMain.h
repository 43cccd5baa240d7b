#pragma once

#include <QWidget>

class AboutPanel;
class ConversionTask;
class CutSelection;
class FormatPanel;
class InputIntake;
class MainPanel;
class OutputFolder;
class RememberedSettings;
class PreviewPlayer;
class SlidingPanels;

// The main window: the composition root. It owns every control and every part of Quenlet,
// wires their events together and runs start-up and closing.
class frmMain : public QWidget {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    MainPanel* frMain = nullptr;
    AboutPanel* frAbout = nullptr;
    FormatPanel* frFormats = nullptr;
    SlidingPanels* panels = nullptr;
    RememberedSettings* settings = nullptr;
    // Preview: the player (LoadVideo, cmdStop_Click) and the marks of the cut.
    PreviewPlayer* player = nullptr;
    CutSelection* selection = nullptr;

    // True while no file is ready in the player.
    bool bNoMedia = true;
    // True while a conversion task runs.
    bool bConverting = false;

    // Input intake, output folder and conversion task.
    QString sInputFile; // the input of the next task
    InputIntake* intake = nullptr;
    OutputFolder* outputFolder = nullptr;
    ConversionTask* task = nullptr;

    // Start-up, in its fixed order.
    void Form_Load();

    void cmdClose_Click();
    void MyButton1_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ConnectWindowControls();
    void ConnectTask();
    void ConnectSettings();
    void ConnectPreview();
};
