#include "settings/RememberedSettings.h"

#include "engine/Platform.h"
#include "engine/Rounding.h"
#include "formats/FormatPanel.h"
#include "formats/ListSelection.h"
#include "settings/CRegister.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

#include <exception>
#include <functional>
#include <optional>

const QString RememberedSettings::SettingsKey =
    QStringLiteral("Software\\Corvanel Quenlet\\Settings");

namespace {

const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

// Runs one restoring step on its own: whatever goes wrong in it stays in it.
void Step(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception&) {
    } catch (...) {
    }
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

void RememberedSettings::SaveSettings() {
    const auto option = [this](const QString& name, const QRadioButton* button) {
        if (button != nullptr) {
            Save(name, button->isChecked() ? kTrue : kFalse);
        }
    };
    // An empty list (its catalog did not load) has no choice to remember: the stored one stays
    // for the next start.
    const auto list = [this](const QString& name, const QComboBox* box) {
        if (box != nullptr && box->count() > 0) {
            Save(name, QString::number(box->currentIndex()));
        }
    };
    const auto text = [this](const QString& name, const QLineEdit* box) {
        if (box != nullptr) {
            Save(name, box->text());
        }
    };
    // The order in which the values are written.
    option(QStringLiteral("optOtherFolder"), optOtherFolder_);
    option(QStringLiteral("optSameFolder"), optSameFolder_);
    text(QStringLiteral("txtOutPath"), txtOutPath_);
    if (frFormats_ == nullptr) {
        return;
    }
    const FormatPanel& f = *frFormats_;
    if (f.optFormat[0] != nullptr) {
        Save(QStringLiteral("optFormat"),
             f.optFormat[0]->isChecked() ? QStringLiteral("0") : QStringLiteral("1"));
    }
    list(QStringLiteral("cmbCategory"), f.cmbCategory);
    list(QStringLiteral("cmbOutVCodec"), f.cmbOutVCodec);
    list(QStringLiteral("cmbOutFormat"), f.cmbOutFormat);
    list(QStringLiteral("cmbCustContainer"), f.cmbCustContainer);
    list(QStringLiteral("cmbCACodec"), f.cmbCACodec);
    list(QStringLiteral("cmbCASmapleRate"), f.cmbCASmapleRate);
    list(QStringLiteral("cmbCVCodec"), f.cmbCVCodec);
    list(QStringLiteral("cmbCVSize"), f.cmbCVSize);
    list(QStringLiteral("cmbCVAspect"), f.cmbCVAspect);
    text(QStringLiteral("txtCABirate"), f.txtCABirate);
    text(QStringLiteral("txtChannels"), f.txtChannels);
    text(QStringLiteral("txtCVBitrate"), f.txtCVBitrate);
    text(QStringLiteral("txtFrameRate"), f.txtFrameRate);
}

void RememberedSettings::LoadSettings() {
    // An option button that refuses the change (the selected one of its group cannot be
    // unselected on its own) keeps its state.
    const auto option = [this](const QString& name, const QString& sDefault, QRadioButton* button) {
        Step([&] {
            const std::optional<bool> value = StoredTruth(Get(name, sDefault));
            if (button != nullptr && value) {
                button->setChecked(*value);
            }
        });
    };
    // Selecting from code runs the list's selection handler, as the user's selection would. A
    // stored index that is no entry of the list reads as the default; an empty list is left
    // alone.
    const auto list = [this](const QString& name, const QString& sDefault, QComboBox* box,
                             const std::function<void(const QString&)>& handler = {}) {
        Step([&] {
            if (box == nullptr || box->count() == 0) {
                return;
            }
            const auto fits = [box](const std::optional<int>& index) {
                return index && *index >= 0 && *index < box->count();
            };
            std::optional<int> index = StoredWholeNumber(Get(name, sDefault));
            if (!fits(index)) {
                index = StoredWholeNumber(sDefault);
            }
            if (fits(index)) {
                SelectListEntry(box, *index, handler);
            }
        });
    };
    // A text the box would refuse (its validator does not accept it whole) reads as the default.
    const auto text = [this](const QString& name, const QString& sDefault, QLineEdit* box) {
        Step([&] {
            if (box == nullptr) {
                return;
            }
            QString value = Get(name, sDefault);
            if (const QValidator* validator = box->validator()) {
                int position = 0;
                QString checked = value;
                if (validator->validate(checked, position) != QValidator::Acceptable) {
                    value = sDefault;
                }
            }
            box->setText(value);
        });
    };
    // The format mode N, or nothing when the stored value names no mode.
    const auto formatMode = [this]() -> std::optional<int> {
        const std::optional<int> mode =
            StoredWholeNumber(Get(QStringLiteral("optFormat"), QStringLiteral("0")));
        if (mode && (*mode == 0 || *mode == 1)) {
            return mode;
        }
        return std::nullopt;
    };

    option(QStringLiteral("optOtherFolder"), kTrue, optOtherFolder_);
    option(QStringLiteral("optSameFolder"), kFalse, optSameFolder_);
    text(QStringLiteral("txtOutPath"), DefaultOutPath(), txtOutPath_);
    Step([this] {
        if (optSameFolder_ != nullptr && optSameFolder_->isChecked()) {
            if (txtOutPath_ != nullptr) {
                txtOutPath_->setEnabled(false);
            }
            if (cmdBrowse_ != nullptr) {
                cmdBrowse_->setEnabled(false);
            }
        }
    });
    if (frFormats_ == nullptr) {
        return;
    }
    FormatPanel& f = *frFormats_;
    Step([&] {
        const std::optional<int> mode = formatMode();
        if (mode && f.optFormat[*mode] != nullptr) {
            f.optFormat[*mode]->setChecked(true);
        }
    });
    Step([&] {
        if (const std::optional<int> mode = formatMode()) {
            f.optFormat_Click(*mode);
        }
    });
    // A category rebuilds the two lists below it and a label the container list, so they are
    // restored from the top down.
    list(QStringLiteral("cmbCategory"), QStringLiteral("1"), f.cmbCategory,
         [&f](const QString& sCat) { f.SetCategory(sCat); });
    list(QStringLiteral("cmbOutVCodec"), QStringLiteral("1"), f.cmbOutVCodec,
         [&f](const QString& sCodec) { f.SetVideoCodec(sCodec); });
    list(QStringLiteral("cmbOutFormat"), QStringLiteral("1"), f.cmbOutFormat);
    list(QStringLiteral("cmbCustContainer"), QStringLiteral("2"), f.cmbCustContainer);
    list(QStringLiteral("cmbCACodec"), QStringLiteral("1"), f.cmbCACodec);
    list(QStringLiteral("cmbCASmapleRate"), QStringLiteral("4"), f.cmbCASmapleRate);
    list(QStringLiteral("cmbCVCodec"), QStringLiteral("1"), f.cmbCVCodec);
    list(QStringLiteral("cmbCVSize"), QStringLiteral("0"), f.cmbCVSize);
    list(QStringLiteral("cmbCVAspect"), QStringLiteral("0"), f.cmbCVAspect);
    text(QStringLiteral("txtCABirate"), QStringLiteral("64"), f.txtCABirate);
    text(QStringLiteral("txtChannels"), QStringLiteral("2"), f.txtChannels);
    text(QStringLiteral("txtCVBitrate"), QStringLiteral("320"), f.txtCVBitrate);
    text(QStringLiteral("txtFrameRate"), QStringLiteral("25"), f.txtFrameRate);
    Step([&f] { f.UpdateFormatLabel(); });
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
