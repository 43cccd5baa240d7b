#include "settings/RememberedSettings.h"

#include "engine/HandlerGuard.h"
#include "engine/Platform.h"
#include "engine/Rounding.h"
#include "formats/FormatDefaults.h"
#include "formats/FormatPanel.h"
#include "formats/ListSelection.h"
#include "settings/CRegister.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

#include <functional>
#include <optional>

const QString RememberedSettings::SettingsKey =
    QStringLiteral("Software\\Corvanel Quenlet\\Settings");

namespace {

const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

// Runs one restoring step on its own: whatever goes wrong in it stays in it.
void Step(const std::function<void()>& step) {
    RunGuarded(step);
}

// A stored truth value: "True" or "False", letter case and surrounding blanks ignored.
std::optional<bool> StoredTruth(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(kTrue, Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (trimmed.compare(kFalse, Qt::CaseInsensitive) == 0) {
        return false;
    }
    return std::nullopt;
}

// A stored number turned into a whole number (the nearest, halves to even), or nothing when
// the text is no number or the number does not fit.
std::optional<int> StoredWholeNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    const int whole = trimmed.toInt(&ok, 10);
    if (ok) {
        return whole;
    }
    const double real = trimmed.toDouble(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return RoundToInt32(real);
}

} // namespace

RememberedSettings::RememberedSettings(FormatPanel* frFormats, QRadioButton* optSameFolder,
                                       QRadioButton* optOtherFolder, QLineEdit* txtOutPath,
                                       QPushButton* cmdBrowse, QObject* parent)
    : QObject(parent), frFormats_(frFormats), optSameFolder_(optSameFolder),
      optOtherFolder_(optOtherFolder), txtOutPath_(txtOutPath), cmdBrowse_(cmdBrowse) {}

QString RememberedSettings::DefaultOutPath() {
    return QDir::homePath() + QStringLiteral("/Cut Files");
}

QString RememberedSettings::Get(const QString& name, const QString& sDefault) const {
    return CRegister().REGGetSetting(HKEY_LOCAL_MACHINE, SettingsKey, name, sDefault);
}

void RememberedSettings::Save(const QString& name, const QString& value) const {
    // A value that cannot be written is simply not remembered.
    Step([&] { CRegister().REGSaveSetting(HKEY_LOCAL_MACHINE, SettingsKey, name, value); });
}

std::vector<RememberedSettings::Setting> RememberedSettings::Settings() const {
    using Kind = Setting::Kind;
    std::vector<Setting> settings{
        {QStringLiteral("optOtherFolder"), Kind::Option, optOtherFolder_, kTrue, {}, {}},
        {QStringLiteral("optSameFolder"), Kind::Option, optSameFolder_, kFalse, {}, {}},
        // With "Same folder as input file" the folder box and Browse are not used.
        {QStringLiteral("txtOutPath"),
         Kind::Text,
         txtOutPath_,
         DefaultOutPath(),
         {},
         [this] {
             if (optSameFolder_ != nullptr && optSameFolder_->isChecked()) {
                 if (txtOutPath_ != nullptr) {
                     txtOutPath_->setEnabled(false);
                 }
                 if (cmdBrowse_ != nullptr) {
                     cmdBrowse_->setEnabled(false);
                 }
             }
         }},
    };
    if (frFormats_ == nullptr) {
        return settings;
    }
    FormatPanel* f = frFormats_;
    const auto list = [&settings](const char* name, QComboBox* box, const char* sDefault,
                                  std::function<void(const QString&)> handler = {}) {
        settings.push_back({QLatin1String(name),
                            Kind::List,
                            box,
                            QLatin1String(sDefault),
                            std::move(handler),
                            {}});
    };
    const auto text = [&settings](const char* name, QLineEdit* box, const QString& sDefault) {
        settings.push_back({QLatin1String(name), Kind::Text, box, sDefault, {}, {}});
    };
    settings.push_back({QStringLiteral("optFormat"),
                        Kind::FormatMode,
                        f->optFormat[0],
                        QStringLiteral("0"),
                        [f](const QString& mode) { f->optFormat_Click(mode.toInt()); },
                        {}});
    // A category rebuilds the two lists below it and a label the container list, so they are
    // restored from the top down.
    list("cmbCategory", f->cmbCategory, "1", [f](const QString& sCat) { f->SetCategory(sCat); });
    list("cmbOutVCodec", f->cmbOutVCodec, "1",
         [f](const QString& sCodec) { f->SetVideoCodec(sCodec); });
    list("cmbOutFormat", f->cmbOutFormat, "1");
    list("cmbCustContainer", f->cmbCustContainer, "2");
    list("cmbCACodec", f->cmbCACodec, "1");
    list("cmbCASmapleRate", f->cmbCASmapleRate, "4");
    list("cmbCVCodec", f->cmbCVCodec, "1");
    list("cmbCVSize", f->cmbCVSize, "0");
    list("cmbCVAspect", f->cmbCVAspect, "0");
    text("txtCABirate", f->txtCABirate, FormatDefaults::AudioBitrate);
    text("txtChannels", f->txtChannels, FormatDefaults::Channels);
    text("txtCVBitrate", f->txtCVBitrate, FormatDefaults::VideoBitrate);
    text("txtFrameRate", f->txtFrameRate, FormatDefaults::FrameRate);
    return settings;
}

void RememberedSettings::SaveSettings() {
    for (const Setting& setting : Settings()) {
        SaveSetting(setting);
    }
}

void RememberedSettings::SaveSetting(const Setting& setting) const {
    if (setting.control == nullptr) {
        return;
    }
    switch (setting.kind) {
    case Setting::Kind::Option:
        Save(setting.name,
             static_cast<const QRadioButton*>(setting.control)->isChecked() ? kTrue : kFalse);
        break;
    case Setting::Kind::FormatMode:
        Save(setting.name, static_cast<const QRadioButton*>(setting.control)->isChecked()
                               ? QStringLiteral("0")
                               : QStringLiteral("1"));
        break;
    case Setting::Kind::List: {
        // An empty list (its catalog did not load) has no choice to remember: the stored one
        // stays for the next start.
        const auto* box = static_cast<const QComboBox*>(setting.control);
        if (box->count() > 0) {
            Save(setting.name, QString::number(box->currentIndex()));
        }
        break;
    }
    case Setting::Kind::Text:
        Save(setting.name, static_cast<const QLineEdit*>(setting.control)->text());
        break;
    }
}

void RememberedSettings::LoadSettings() {
    for (const Setting& setting : Settings()) {
        LoadSetting(setting);
        if (setting.afterLoad) {
            Step(setting.afterLoad);
        }
    }
    if (frFormats_ != nullptr) {
        Step([this] { frFormats_->UpdateFormatLabel(); });
    }
}

void RememberedSettings::LoadSetting(const Setting& setting) const {
    switch (setting.kind) {
    case Setting::Kind::Option:
        // An option button that refuses the change (the selected one of its group cannot be
        // unselected on its own) keeps its state.
        Step([&] {
            const std::optional<bool> value = StoredTruth(Get(setting.name, setting.sDefault));
            if (setting.control != nullptr && value) {
                static_cast<QRadioButton*>(setting.control)->setChecked(*value);
            }
        });
        break;
    case Setting::Kind::FormatMode: {
        // Two steps: the mode's option button, then the mode's handler. A stored value that
        // names no mode changes neither.
        std::optional<int> mode;
        Step([&] {
            mode = StoredWholeNumber(Get(setting.name, setting.sDefault));
            if (!mode || (*mode != 0 && *mode != 1)) {
                mode.reset();
                return;
            }
            if (frFormats_ != nullptr && frFormats_->optFormat[*mode] != nullptr) {
                frFormats_->optFormat[*mode]->setChecked(true);
            }
        });
        Step([&] {
            if (mode && setting.handler) {
                setting.handler(QString::number(*mode));
            }
        });
        break;
    }
    case Setting::Kind::List:
        // Selecting from code runs the list's selection handler, as the user's selection
        // would. A stored index that is no entry of the list reads as the default; an empty
        // list is left alone.
        Step([&] {
            auto* box = static_cast<QComboBox*>(setting.control);
            if (box == nullptr || box->count() == 0) {
                return;
            }
            const auto fits = [box](const std::optional<int>& index) {
                return index && *index >= 0 && *index < box->count();
            };
            std::optional<int> index = StoredWholeNumber(Get(setting.name, setting.sDefault));
            if (!fits(index)) {
                index = StoredWholeNumber(setting.sDefault);
            }
            if (fits(index)) {
                SelectListEntry(box, *index, setting.handler);
            }
        });
        break;
    case Setting::Kind::Text:
        // A text the box would refuse (its validator does not accept it whole) reads as the
        // default.
        Step([&] {
            auto* box = static_cast<QLineEdit*>(setting.control);
            if (box == nullptr) {
                return;
            }
            QString value = Get(setting.name, setting.sDefault);
            if (const QValidator* validator = box->validator()) {
                int position = 0;
                QString checked = value;
                if (validator->validate(checked, position) != QValidator::Acceptable) {
                    value = setting.sDefault;
                }
            }
            box->setText(value);
        });
        break;
    }
}

void RememberedSettings::cmdDefaults_Click() {
    Step([this] {
        // The whole key with every value in it. A store that refuses keeps its values, and
        // they are restored again below.
        const CRegister store;
        store.REGDeleteSetting(HKEY_LOCAL_MACHINE, SettingsKey, QString());
        const std::optional<bool> kept = store.REGKeyExists(HKEY_LOCAL_MACHINE, SettingsKey);
        LoadSettings();
        if (kept && !*kept) {
            return;
        }
        const QString file = QDir::toNativeSeparators(CRegister::REGRootFile(HKEY_LOCAL_MACHINE));
        Platform::ShowMessage(
            kept ? QStringLiteral("The settings file cannot be changed:\r\n%1\r\nThe stored "
                                  "settings stay as they are.")
                       .arg(file)
                 : QStringLiteral("The settings file cannot be changed because it cannot be "
                                  "read:\r\n%1\r\nThe defaults are shown; the file is left as it "
                                  "is.")
                       .arg(file),
            Platform::MessageIcon::Exclamation);
    });
}
