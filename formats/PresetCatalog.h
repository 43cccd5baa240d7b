#pragma once

#include "formats/CatalogText.h"
#include "formats/PresetRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <span>

class QComboBox;

// The preset catalog: the ready-made output formats read once at start-up from presets.xml in
// the application folder, in file order.
//
// The file is read as CR LF lines, not as XML: "<?xml version="1.0"?>", "<presets>",
// "</presets>", empty lines and any line containing "</" are skipped; any other line opens a
// six-line record (opener, four field lines <label>, <params>, <extension>, <category> in any
// order, closing line). A record without a category shares its slot with the next record.
class PresetCatalog {
public:
    // The records that count, index 0 upwards: the first PresetCount() records read. This is
    // what the catalog offers; everything that lists or looks up presets goes by it.
    std::span<const PresetRecord> CountedPresets() const {
        return {presets_.constData(), static_cast<std::size_t>(qBound(
                                          qsizetype(0), qsizetype(presetCount_), presets_.size()))};
    }
    // The number of records that count.
    qint32 PresetCount() const { return presetCount_; }
    // The slots as read, for checking the reading: after a failed load the slot being filled
    // when the reading stopped is still there, beyond PresetCount().
    const QList<PresetRecord>& Presets() const { return presets_; }

    // Reads presets.xml from the application folder, fills cmbCategory with each category once
    // (order of first appearance), selects its first entry with the list's signals blocked and
    // then calls SetCategory with that entry's text. Any failure, a catalog without a record
    // (blanks, blank lines, fixed lines only) included, shows "Error Occured while Loading
    // Presets." with the reason (no icon) and leaves cmbCategory as it was.
    void LoadPresets(QComboBox* cmbCategory,
                     const std::function<void(const QString&)>& SetCategory);

    // The reading of a catalog text, without files or widgets: fills Presets() and
    // PresetCount(), or stops at the first fault, keeping what was read up to there.
    CatalogResult ReadPresets(const QString& content);

    // The categories of records 0 to PresetCount() - 1, each once, in order of first appearance
    // (exact, case-sensitive comparison).
    QStringList Categories() const;

    // Where LoadPresets looks: the application folder + "/presets.xml".
    static QString FilePath();

private:
    QList<PresetRecord> presets_;
    qint32 presetCount_ = 0;
};
