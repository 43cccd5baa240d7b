#include "app/OutputFolder.h"

#include "app/DriveCheck.h"
#include "app/MainPanel.h"
#include "app/modDialog.h"
#include "engine/Platform.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

OutputFolder::OutputFolder(MainPanel* panel, QWidget* owner, QObject* parent)
    : QObject(parent), panel_(panel), owner_(owner) {
    connect(panel_->optSameFolder, &QRadioButton::clicked, this,
            &OutputFolder::optSameFolder_Click);
    connect(panel_->optOtherFolder, &QRadioButton::clicked, this,
            &OutputFolder::optOtherFolder_Click);
    connect(panel_->cmdBrowse, &QPushButton::clicked, this, &OutputFolder::cmdBrowse_Click);
}

void OutputFolder::optSameFolder_Click() {
    panel_->cmdBrowse->setEnabled(false);
}

void OutputFolder::optOtherFolder_Click() {
    panel_->cmdBrowse->setEnabled(true);
}

void OutputFolder::cmdBrowse_Click() {
    try {
        const QString folder =
            modDialog::BrowseForFolder(owner_, QStringLiteral("Select folder to add"), true);
        if (folder.isEmpty()) {
            return;
        }
        if (DriveCheck::IsFixedDisk(folder)) {
            panel_->txtOutPath->setText(folder);
            return;
        }
        Platform::ShowMessage(QStringLiteral("You can't choose this drive!"),
                              Platform::MessageIcon::Exclamation);
    } catch (...) {
        // Nothing may leave a click handler; the path stays as it was.
    }
}
