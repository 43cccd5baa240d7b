#pragma once

#include <QObject>

class MainPanel;
class QWidget;

// Where the cut file goes: next to the input ("Same folder as input file") or into the folder
// in txtOutPath ("Other folder"), which the browse button fills from the folder dialog,
// accepting only folders on fixed local disks (DriveCheck::IsFixedDisk).
class OutputFolder : public QObject {
    Q_OBJECT

public:
    // `owner` is the window the folder dialog belongs to.
    OutputFolder(MainPanel* panel, QWidget* owner, QObject* parent = nullptr);

    // Clicks of the two options: Browse is available only for "Other folder". Neither touches
    // the path in txtOutPath.
    void optSameFolder_Click();
    void optOtherFolder_Click();
    // Shows the folder dialog; a folder on a fixed disk goes into txtOutPath, any other one is
    // refused with "You can't choose this drive!".
    void cmdBrowse_Click();

private:
    MainPanel* panel_;
    QWidget* owner_;
};
