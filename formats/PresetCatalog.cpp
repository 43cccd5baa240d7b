#include "formats/PresetCatalog.h"

#include "engine/Platform.h"

#include <QComboBox>
#include <QSet>
#include <QSignalBlocker>

#include <array>
#include <exception>
#include <limits>

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
    return Platform::ApplicationFolder() + QStringLiteral("/presets.xml");
}

CatalogResult PresetCatalog::ReadPresets(const QString& content) {
    if (CatalogText::TrimSpaces(content).isEmpty()) {
        return {CatalogResult::Outcome::Blank, {}};
    }
    const std::vector<QStringView> lines = CatalogText::SplitLines(content);

    // The current slot is the one at PresetCount; a slot whose category is still empty is
    // filled again by the next record.
    while (presets_.size() <= presetCount_) {
        presets_.append(PresetRecord{});
    }
    const auto open = [this](QString& reason) {
        if (presets_[presetCount_].category.isEmpty()) {
            return true;
        }
        if (presetCount_ == std::numeric_limits<qint32>::max() - 1) {
            reason = QStringLiteral("the catalog holds too many presets");
            return false;
        }
        ++presetCount_;
        presets_.append(PresetRecord{});
        return true;
    };
    const auto store = [this](qsizetype nameIndex, QStringView value) {
        PresetRecord& record = presets_[presetCount_];
        QString* const fields[] = {&record.label, &record.params, &record.extension,
                                   &record.category};
        *fields[nameIndex] = value.toString();
    };
    const CatalogText::RecordLayout layout{IsSkippedLine, 4, fieldNames};
    QString reason = CatalogText::WalkRecords(lines, layout, open, store);
    if (!reason.isEmpty()) {
        return {CatalogResult::Outcome::Failed, reason};
    }
    // The last slot counts even when its category is empty.
    ++presetCount_;
    return {};
}

QStringList PresetCatalog::Categories() const {
    QStringList categories;
    QSet<QString> seen;
    for (qint32 i = 0; i < presetCount_ && i < presets_.size(); ++i) {
        const QString& category = presets_[i].category;
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
        if (result.outcome == CatalogResult::Outcome::Blank || cmbCategory == nullptr) {
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
