#include "formats/CodecCatalog.h"

#include "engine/Platform.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>

#include <array>
#include <exception>

namespace {

constexpr std::array<QStringView, 3> fieldNames{u"name", u"description", u"type"};

bool IsSkippedLine(QStringView line) {
    const QStringView trimmed = CatalogText::TrimSpaces(line);
    return trimmed == u"<?xml version=\"1.0\"?>" || trimmed == u"<codecs>" ||
           trimmed == u"</codecs>" || line.isEmpty() || line.contains(u"</");
}

void ShowFailure(const QString& reason) {
    Platform::ShowMessage(QStringLiteral("Error Occured while Loading Codecs.\r\n") + reason,
                          Platform::MessageIcon::None);
}

} // namespace

QString CodecCatalog::FilePath() {
    return Platform::DataFilePath(QStringLiteral("codecs.xml"));
}

CatalogResult CodecCatalog::ReadCodecs(const QString& content) {
    // A record without a description shares its slot with the next record.
    static constexpr std::array<QString CodecRecord::*, 3> fields{
        &CodecRecord::name, &CodecRecord::description, &CodecRecord::type};
    return CatalogText::ReadRecords(content, {IsSkippedLine, 3, fieldNames}, fields,
                                    &CodecRecord::description, codecs_, codecCount_,
                                    QStringLiteral("the catalog holds too many codecs"));
}

QString CodecCatalog::GetCodecName(const QString& sDesc) const {
    for (const CodecRecord& record : CountedCodecs()) {
        if (record.description == sDesc) {
            return CatalogText::TrimSpaces(record.name).toString();
        }
    }
    return {};
}

void CodecCatalog::LoadCodecs(QComboBox* cmbCVCodec, QComboBox* cmbCACodec) {
    try {
        QString content;
        QString reason;
        if (!CatalogText::ReadCatalogFile(FilePath(), content, reason)) {
            ShowFailure(reason);
            return;
        }
        const CatalogResult result = ReadCodecs(content);
        if (result.failed()) {
            ShowFailure(result.reason);
            return;
        }
        if (result.outcome == CatalogResult::Outcome::NoRecord) {
            ShowFailure(QStringLiteral("The file %1 holds no codec.").arg(FilePath()));
            return;
        }
        if (cmbCVCodec == nullptr || cmbCACodec == nullptr) {
            return;
        }
        QStringList video;
        QStringList audio;
        for (const CodecRecord& record : CountedCodecs()) {
            if (record.type == u"video codec") {
                video.append(record.description);
            } else if (record.type == u"audio codec") {
                audio.append(record.description);
            } else if (record.type == u"general") {
                video.append(record.description);
                audio.append(record.description);
            }
        }
        const QSignalBlocker videoBlocker(cmbCVCodec);
        const QSignalBlocker audioBlocker(cmbCACodec);
        cmbCVCodec->clear();
        cmbCACodec->clear();
        cmbCVCodec->addItems(video);
        cmbCACodec->addItems(audio);
        // Filling an empty list makes its first entry current; only the selection below may.
        cmbCVCodec->setCurrentIndex(-1);
        cmbCACodec->setCurrentIndex(-1);
        if (video.isEmpty()) {
            ShowFailure(QStringLiteral("The catalog has no video codec and no general codec, so "
                                       "the video codec list is empty."));
            return;
        }
        cmbCVCodec->setCurrentIndex(0);
        if (audio.isEmpty()) {
            ShowFailure(QStringLiteral("The catalog has no audio codec and no general codec, so "
                                       "the audio codec list is empty."));
            return;
        }
        cmbCACodec->setCurrentIndex(0);
    } catch (const std::exception& error) {
        ShowFailure(QString::fromLocal8Bit(error.what()));
    }
}
