#pragma once

#include <QWidget>

class AboutPanel;
class CloserLook;
class ConversionTask;
class CutSelection;
class FormatPanel;
class InputIntake;
class KeyboardShortcuts;
class MainPanel;
class OutputFolder;
class RememberedSettings;
class PreviewPlayer;
class Session;
class SlidingPanels;
class TaskReport;

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

    // Whether a file is ready, whether a task runs, the input of the next task.
    Session* session = nullptr;

    // Input intake, output folder and conversion task.
    InputIntake* intake = nullptr;
    OutputFolder* outputFolder = nullptr;
    ConversionTask* task = nullptr;
    // Where the last cut went, the time left and the launcher's progress.
    TaskReport* report = nullptr;

    // The preview full screen, and the window's keyboard shortcuts.
    CloserLook* closer = nullptr;
    KeyboardShortcuts* keys = nullptr;

    // Start-up, in its fixed order.
    void Form_Load();

    void cmdClose_Click();
    void MyButton1_Click();
    // The desktop asked the program to end (TerminationSignals): it closes as its window does
    // (a running task stopped and its pieces removed, the settings saved) and the program ends.
    void EndProgram();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ConnectWindowControls();
    void ConnectTask();
    void ConnectSettings();
    void ConnectPreview();
    void ConnectIntake();
    void ConnectKeyboard();
};
