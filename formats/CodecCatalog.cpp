#include "formats/CodecCatalog.h"

#include "engine/Platform.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>

#include <array>
#include <exception>
#include <limits>

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
    return Platform::ApplicationFolder() + QStringLiteral("/codecs.xml");
}

CatalogResult CodecCatalog::ReadCodecs(const QString& content) {
    if (CatalogText::TrimSpaces(content).isEmpty()) {
        return {CatalogResult::Outcome::Blank, {}};
    }
    const std::vector<QStringView> lines = CatalogText::SplitLines(content);

    // The current slot is the one at CodecCount; a slot whose description is still empty is
    // filled again by the next record.
    while (codecs_.size() <= codecCount_) {
        codecs_.append(CodecRecord{});
    }
    const auto open = [this](QString& reason) {
        if (codecs_[codecCount_].description.isEmpty()) {
            return true;
        }
        if (codecCount_ == std::numeric_limits<qint32>::max() - 1) {
            reason = QStringLiteral("the catalog holds too many codecs");
            return false;
        }
        ++codecCount_;
        codecs_.append(CodecRecord{});
        return true;
    };
    const auto store = [this](qsizetype nameIndex, QStringView value) {
        CodecRecord& record = codecs_[codecCount_];
        QString* const fields[] = {&record.name, &record.description, &record.type};
        *fields[nameIndex] = value.toString();
    };
    const CatalogText::RecordLayout layout{IsSkippedLine, 3, fieldNames};
    QString reason = CatalogText::WalkRecords(lines, layout, open, store);
    if (!reason.isEmpty()) {
        return {CatalogResult::Outcome::Failed, reason};
    }
    // The last slot counts even when its description is empty.
    ++codecCount_;
    return {};
}

QString CodecCatalog::GetCodecName(const QString& sDesc) const {
    for (qint32 i = 0; i < codecCount_ && i < codecs_.size(); ++i) {
        if (codecs_[i].description == sDesc) {
            return CatalogText::TrimSpaces(codecs_[i].name).toString();
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
        if (result.outcome == CatalogResult::Outcome::Blank || cmbCVCodec == nullptr ||
            cmbCACodec == nullptr) {
            return;
        }
        QStringList video;
        QStringList audio;
        for (qint32 i = 0; i < codecCount_; ++i) {
            const CodecRecord& record = codecs_[i];
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
