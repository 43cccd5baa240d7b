#include "formats/PresetCatalog.h"

#include "engine/Platform.h"

#include <QComboBox>
#include <QSet>
#include <QSignalBlocker>

#include <array>
#include <exception>

namespace {

constexpr std::array<QStringView, 4> fieldNames{u"label", u"params", u"extension", u"category"};

bool IsSkippedLine(QStringView line) {
    return line == u"<?xml version=\"1.0\"?>" || line == u"<presets>" || line == u"</presets>" ||
           line.isEmpty() || line.contains(u"</");
}

void ShowFailure(const QString& reason) {
    Platform::ShowMessage(QStringLiteral("Error Occured while Loading Presets.\r\n") + reason,
                          Platform::MessageIcon::None);
}

// Adds each text not yet in the list (nor already added), in order, with one insertion.
void AddDistinct(QComboBox* list, const QStringList& texts) {
    QSet<QString> listed;
    listed.reserve(list->count() + texts.size());
    for (int i = 0; i < list->count(); ++i) {
        listed.insert(list->itemText(i));
    }
    QStringList added;
    for (const QString& text : texts) {
        if (!listed.contains(text)) {
            listed.insert(text);
            added.append(text);
        }
    }
    list->addItems(added);
}

} // namespace

QString PresetCatalog::FilePath() {
    return Platform::DataFilePath(QStringLiteral("presets.xml"));
}

CatalogResult PresetCatalog::ReadPresets(const QString& content) {
    // A record without a category shares its slot with the next record.
    static constexpr std::array<QString PresetRecord::*, 4> fields{
        &PresetRecord::label, &PresetRecord::params, &PresetRecord::extension,
        &PresetRecord::category};
    return CatalogText::ReadRecords(content, {IsSkippedLine, 4, fieldNames}, fields,
                                    &PresetRecord::category, presets_, presetCount_,
                                    QStringLiteral("the catalog holds too many presets"));
}

QStringList PresetCatalog::Categories() const {
    QStringList categories;
    QSet<QString> seen;
    for (const PresetRecord& record : CountedPresets()) {
        const QString& category = record.category;
        if (!seen.contains(category)) {
            seen.insert(category);
            categories.append(category);
        }
    }
    return categories;
}

void PresetCatalog::LoadPresets(QComboBox* cmbCategory,
                                const std::function<void(const QString&)>& SetCategory) {
    try {
        QString content;
        QString reason;
        if (!CatalogText::ReadCatalogFile(FilePath(), content, reason)) {
            ShowFailure(reason);
            return;
        }
        const CatalogResult result = ReadPresets(content);
        if (result.failed()) {
            ShowFailure(result.reason);
            return;
        }
        if (result.outcome == CatalogResult::Outcome::NoRecord) {
            ShowFailure(QStringLiteral("The file %1 holds no preset.").arg(FilePath()));
            return;
        }
        if (cmbCategory == nullptr) {
            return;
        }
        {
            const QSignalBlocker blocker(cmbCategory);
            AddDistinct(cmbCategory, Categories());
            cmbCategory->setCurrentIndex(0);
        }
        if (SetCategory) {
            SetCategory(cmbCategory->itemText(0));
        }
    } catch (const std::exception& error) {
        ShowFailure(QString::fromLocal8Bit(error.what()));
    }
}
