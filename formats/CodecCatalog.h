#pragma once

#include "formats/CatalogText.h"
#include "formats/CodecRecord.h"

#include <QList>
#include <QString>

#include <cstddef>
#include <span>

class QComboBox;

// The codec catalog: the codecs offered in the custom format lists, read once at start-up from
// codecs.xml in the application folder, in file order.
//
// The file is read as CR LF lines, not as XML: "<?xml version="1.0"?>", "<codecs>" and
// "</codecs>" (blanks around them allowed), empty lines and any line containing "</" are
// skipped; any other line opens a five-line record (opener, three field lines <name>,
// <description>, <type> in any order, closing line). A record without a description shares its
// slot with the next record.
class CodecCatalog {
public:
    // The records that count, index 0 upwards: the first CodecCount() records read. This is
    // what the catalog offers; everything that lists or looks up codecs goes by it.
    std::span<const CodecRecord> CountedCodecs() const {
        return {codecs_.constData(), static_cast<std::size_t>(qBound(
                                         qsizetype(0), qsizetype(codecCount_), codecs_.size()))};
    }
    // The number of records that count.
    qint32 CodecCount() const { return codecCount_; }
    // The slots as read, for checking the reading: after a failed reading the slot being
    // filled when it stopped is still there, beyond CodecCount().
    const QList<CodecRecord>& Codecs() const { return codecs_; }

    // Reads codecs.xml from the application folder and refills the two lists with the
    // descriptions, in file order and without removing duplicates: "video codec" records go to
    // cmbCVCodec, "audio codec" records to cmbCACodec, "general" records to both (exact,
    // case-sensitive types; other types are listed nowhere). Selects the first entry of each
    // list with its signals blocked. Any failure, a catalog without a record or an empty list
    // included, shows "Error Occured while Loading Codecs." with the reason (no icon); a
    // catalog without a record leaves the lists as they were.
    void LoadCodecs(QComboBox* cmbCVCodec, QComboBox* cmbCACodec);

    // The reading of a catalog text, without files or widgets: fills Codecs() and CodecCount(),
    // or stops at the first fault, keeping what was read up to there.
    CatalogResult ReadCodecs(const QString& content);

    // The name of the first record whose description equals sDesc exactly, without leading and
    // trailing spaces; empty when no record has that description.
    QString GetCodecName(const QString& sDesc) const;

    // Where LoadCodecs looks: the application folder + "/codecs.xml".
    static QString FilePath();

private:
    QList<CodecRecord> codecs_;
    qint32 codecCount_ = 0;
};
