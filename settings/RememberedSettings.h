#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class FormatPanel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// The settings Quenlet remembers from one run to the next: the output folder choice and the
// whole state of the format panel, seventeen text values in the settings store under
// HKEY_LOCAL_MACHINE, key "Software\Corvanel Quenlet\Settings" (see settings/CRegister.h for
// where the store keeps them). Each value is named after its control: option buttons are kept
// as "True" or "False", the format mode as "0" (presets) or "1" (custom), lists by the index of
// their selected entry (-1 for none) and text boxes by their text.
//
// It works on controls it is given and does not own; none may be null (a step whose control is
// missing is skipped). A store that cannot be read gives the defaults, one that cannot be
// written simply remembers nothing; only "Restore Defaults" tells when the file stays as it is.
class RememberedSettings : public QObject {
    Q_OBJECT

public:
    // One remembered value: its name in the store, the control it is read from and restored
    // into, the value restored when nothing usable is stored, and what a selection made from
    // code runs afterwards (as the user's selection would).
    struct Setting {
        enum class Kind {
            Option,     // an option button: "True" or "False"
            FormatMode, // the format mode: "0" presets, "1" custom; the control is "Presets"
            List,       // a list: the index of its selected entry
            Text        // a text box: its text
        };
        QString name;
        Kind kind = Kind::Text;
        QWidget* control = nullptr; // may be null: the setting is then skipped
        QString sDefault;
        // Lists: runs with the selected entry's text. The format mode: runs with the mode.
        std::function<void(const QString&)> handler;
        // Runs after the value is restored, as a step of its own.
        std::function<void()> afterLoad;
    };

    RememberedSettings(FormatPanel* frFormats, QRadioButton* optSameFolder,
                       QRadioButton* optOtherFolder, QLineEdit* txtOutPath, QPushButton* cmdBrowse,
                       QObject* parent = nullptr);

    // The key of the remembered settings below HKEY_LOCAL_MACHINE.
    static const QString SettingsKey;
    // The output folder when none is remembered: "Cut Files" in the user's home folder.
    static QString DefaultOutPath();

    // Writes the seventeen values, in a fixed order. A list without entries (its catalog did not
    // load) writes nothing, so the stored choice survives until the catalog is back. A value
    // that cannot be written is not remembered; nothing is reported.
    void SaveSettings();

    // Restores the values into the controls in a fixed order of twenty steps, each on its own:
    // a value that is absent or empty takes its default, and so do a list index that is no
    // entry of its list (-1 included) and a box text that the box's validator would refuse. A
    // list without entries is left alone, and a step whose value still does not fit (a default
    // beyond a short list, a change the control refuses) is skipped, leaving its control as it
    // was. Selecting a preset list entry runs the same handler as the user's selection, so the
    // lists below it follow. Ends by updating the format description.
    void LoadSettings();

    // "Restore Defaults": forgets the stored values, then restores (the defaults, unless the
    // store refused to forget them). Writes nothing back; closing does that. When the settings
    // file is there but cannot be read or changed, says so and where the file is.
    void cmdDefaults_Click();

    // The seventeen settings in the order in which they are written and restored (the format
    // panel's only when there is a panel). Saving, loading and Restore Defaults all go by it.
    std::vector<Setting> Settings() const;

protected:
    // One value of the store: read (the default when absent or empty) and written.
    virtual QString Get(const QString& name, const QString& sDefault) const;
    virtual void Save(const QString& name, const QString& value) const;

private:
    void SaveSetting(const Setting& setting) const;
    void LoadSetting(const Setting& setting) const;

    FormatPanel* frFormats_;
    QRadioButton* optSameFolder_;
    QRadioButton* optOtherFolder_;
    QLineEdit* txtOutPath_;
    QPushButton* cmdBrowse_;
};
