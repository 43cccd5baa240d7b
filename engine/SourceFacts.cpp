#include "engine/SourceFacts.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>

namespace {

double Number(const QJsonObject& object, const char* key, double fallback) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isDouble()) {
        return value.toDouble();
    }
    bool ok = false;
    const double number = value.toString().toDouble(&ok);
    return ok ? number : fallback;
}

QString Text(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isDouble() ? QString::number(value.toDouble()) : value.toString();
}

QMap<QString, QString> Tags(const QJsonObject& object) {
    QMap<QString, QString> tags;
    const QJsonObject given = object.value(QLatin1String("tags")).toObject();
    for (auto it = given.begin(); it != given.end(); ++it) {
        tags.insert(it.key().toLower(), it.value().toString());
    }
    return tags;
}

double Ratio(const QString& text) {
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return text.toDouble();
    }
    const double denominator = text.mid(slash + 1).toDouble();
    return denominator > 0 ? text.left(slash).toDouble() / denominator : 0;
}

SourceStream ReadStream(const QJsonObject& object) {
    SourceStream stream;
    stream.raw = object;
    stream.index = object.value(QLatin1String("index")).toInt(-1);
    stream.type = Text(object, "codec_type");
    stream.codec = Text(object, "codec_name");
    stream.profile = Text(object, "profile");
    stream.level = object.value(QLatin1String("level")).toInt();
    stream.width = object.value(QLatin1String("width")).toInt();
    stream.height = object.value(QLatin1String("height")).toInt();
    stream.pixelFormat = Text(object, "pix_fmt");
    stream.sampleAspect = Text(object, "sample_aspect_ratio");
    stream.frameRate = Text(object, "r_frame_rate");
    stream.averageRate = Text(object, "avg_frame_rate");
    stream.timeBase = Text(object, "time_base");
    stream.startTime = Number(object, "start_time", 0);
    stream.duration = Number(object, "duration", -1);
    stream.bitRate = static_cast<qint64>(Number(object, "bit_rate", 0));
    stream.frames = static_cast<qint64>(Number(object, "nb_frames", 0));
    stream.sampleRate = static_cast<int>(Number(object, "sample_rate", 0));
    stream.channels = object.value(QLatin1String("channels")).toInt();
    stream.fieldOrder = Text(object, "field_order");
    stream.colorRange = Text(object, "color_range");
    stream.colorSpace = Text(object, "color_space");
    stream.colorTransfer = Text(object, "color_transfer");
    stream.colorPrimaries = Text(object, "color_primaries");
    const QJsonObject disposition = object.value(QLatin1String("disposition")).toObject();
    stream.attachedPicture = disposition.value(QLatin1String("attached_pic")).toInt() != 0;
    stream.isDefault = disposition.value(QLatin1String("default")).toInt() != 0;
    stream.forced = disposition.value(QLatin1String("forced")).toInt() != 0;
    stream.tags = Tags(object);
    for (const QJsonValue& side : object.value(QLatin1String("side_data_list")).toArray()) {
        const QJsonObject data = side.toObject();
        if (data.contains(QLatin1String("rotation"))) {
            stream.rotation = Number(data, "rotation", 0);
        }
    }
    if (stream.rotation == 0 && stream.tags.contains(QStringLiteral("rotate"))) {
        stream.rotation = stream.tags.value(QStringLiteral("rotate")).toDouble();
    }
    return stream;
}

} // namespace

double SourceStream::FramesPerSecond() const {
    const double rate = Ratio(frameRate);
    return rate > 0 && rate < 1000 ? rate : std::max(0.0, Ratio(averageRate));
}

QStringList SourceFacts::ProbeArguments(const QString& input) {
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-hide_banner"),
            QStringLiteral("-show_format"),
            QStringLiteral("-show_streams"),
            QStringLiteral("-show_chapters"),
            QStringLiteral("-of"),
            QStringLiteral("json"),
            QStringLiteral("-i"),
            input};
}

SourceFacts SourceFacts::Parse(const QString& json) {
    SourceFacts facts;
    // The prober's errors (on the same pipe) come before or after the document.
    const qsizetype open = json.indexOf(QLatin1Char('{'));
    const qsizetype close = json.lastIndexOf(QLatin1Char('}'));
    if (open < 0 || close < open) {
        return facts;
    }
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(json.mid(open, close - open + 1).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return facts;
    }
    facts.raw = document.object();
    const QJsonObject format = facts.raw.value(QLatin1String("format")).toObject();
    if (format.isEmpty()) {
        return facts;
    }
    facts.known = true;
    facts.formatName = Text(format, "format_name");
    facts.duration = Number(format, "duration", -1);
    facts.startTime = Number(format, "start_time", 0);
    facts.bitRate = static_cast<qint64>(Number(format, "bit_rate", 0));
    facts.size = static_cast<qint64>(Number(format, "size", 0));
    facts.tags = Tags(format);
    for (const QJsonValue& stream : facts.raw.value(QLatin1String("streams")).toArray()) {
        facts.streams.append(ReadStream(stream.toObject()));
    }
    facts.chapters = static_cast<int>(facts.raw.value(QLatin1String("chapters")).toArray().size());
    return facts;
}

QList<SourceStream> SourceFacts::StreamsOf(const QString& type) const {
    QList<SourceStream> found;
    for (const SourceStream& stream : streams) {
        if (stream.type == type && !(type == QLatin1String("video") && stream.attachedPicture)) {
            found.append(stream);
        }
    }
    return found;
}

const SourceStream* SourceFacts::MainVideo() const {
    for (const SourceStream& stream : streams) {
        if (stream.type == QLatin1String("video") && !stream.attachedPicture) {
            return &stream;
        }
    }
    return nullptr;
}

bool SourceFacts::Indexless() const {
    return IndexlessFormat(formatName);
}

bool SourceFacts::IndexlessFormat(const QString& formatName) {
    static const QStringList readers{
        QStringLiteral("mpegts"),    QStringLiteral("mpegtsraw"), QStringLiteral("mpeg"),
        QStringLiteral("mpegvideo"), QStringLiteral("h264"),      QStringLiteral("hevc"),
        QStringLiteral("m4v"),       QStringLiteral("vc1"),       QStringLiteral("cavsvideo")};
    const QStringList names = formatName.split(QLatin1Char(','));
    return std::any_of(names.cbegin(), names.cend(),
                       [](const QString& name) { return readers.contains(name.trimmed()); });
}
