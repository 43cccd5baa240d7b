#include "engine/MatchingEncoder.h"

#include <QMap>

namespace {

// The prober's profile names and the encoders' own.
QString H264Profile(const QString& profile) {
    static const QMap<QString, QString> names{
        {QStringLiteral("Constrained Baseline"), QStringLiteral("baseline")},
        {QStringLiteral("Baseline"), QStringLiteral("baseline")},
        {QStringLiteral("Main"), QStringLiteral("main")},
        {QStringLiteral("High"), QStringLiteral("high")},
        {QStringLiteral("High 10"), QStringLiteral("high10")},
        {QStringLiteral("High 4:2:2"), QStringLiteral("high422")},
        {QStringLiteral("High 4:4:4 Predictive"), QStringLiteral("high444")},
    };
    return names.value(profile);
}

QString HevcProfile(const QString& profile) {
    static const QMap<QString, QString> names{
        {QStringLiteral("Main"), QStringLiteral("main")},
        {QStringLiteral("Main 10"), QStringLiteral("main10")},
        {QStringLiteral("Main Still Picture"), QStringLiteral("mainstillpicture")},
        {QStringLiteral("Rext"), QString()},
    };
    return names.value(profile);
}

// What the source says of its colours, handed on as it is; "unknown" is left out.
QStringList Colours(const SourceStream& video) {
    QStringList options;
    const auto add = [&options](const char* option, const QString& value) {
        if (!value.isEmpty() && value != QLatin1String("unknown") &&
            value != QLatin1String("reserved")) {
            options << QLatin1String(option) << value;
        }
    };
    add("-color_primaries", video.colorPrimaries);
    add("-color_trc", video.colorTransfer);
    add("-colorspace", video.colorSpace);
    add("-color_range", video.colorRange);
    return options;
}

} // namespace

namespace MatchingEncoder {

bool Interlaced(const SourceStream& video) {
    return !video.fieldOrder.isEmpty() && video.fieldOrder != QLatin1String("progressive") &&
           video.fieldOrder != QLatin1String("unknown");
}

int Quality(double bitsPerPixel) {
    // A phone's or camera's file at 0.1 to 0.2 bits per pixel gets 12; a rich source from an
    // editor or a camera's high rate finer pictures still. Measured with the encoders' faster
    // searches (below): at these levels the pictures encoded again stay above 45 dB against
    // the source's own.
    if (bitsPerPixel >= 0.5) {
        return 6;
    }
    if (bitsPerPixel >= 0.2) {
        return 9;
    }
    return 12;
}

Choice For(const SourceStream& video, qint64 bitRate, bool reordered) {
    Choice choice;
    const bool h264 = video.codec == QLatin1String("h264");
    const bool hevc = video.codec == QLatin1String("hevc");
    if (!h264 && !hevc) {
        choice.problem = QStringLiteral("An exact copy is made of H.264 and H.265 video; this "
                                        "file's video is %1. Choose a preset that re-encodes, or "
                                        "a copy that starts at the keyframe before the mark.")
                             .arg(video.codec.toUpper());
        return choice;
    }
    choice.codecName = h264 ? QStringLiteral("H.264") : QStringLiteral("H.265");
    const QString profile = h264 ? H264Profile(video.profile) : HevcProfile(video.profile);
    if (profile.isEmpty() || video.pixelFormat.isEmpty()) {
        choice.problem = QStringLiteral("The video's profile (%1 %2, %3) cannot be written again "
                                        "the same way.")
                             .arg(choice.codecName, video.profile, video.pixelFormat);
        return choice;
    }
    const double fps = video.FramesPerSecond();
    const double pixelsPerSecond = static_cast<double>(video.width) * video.height * fps;
    const double bitsPerPixel =
        bitRate > 0 && pixelsPerSecond > 0 ? static_cast<double>(bitRate) / pixelsPerSecond : 0;
    const QString quality = QString::number(Quality(bitsPerPixel));
    // The encoder's own B-frames where the source has B-frames; none otherwise.
    const bool bFrames = reordered && video.raw.value(QLatin1String("has_b_frames")).toInt() > 0;
    if (h264) {
        // A faster search than the encoders' defaults: the few pictures cost less time, and at
        // these quality levels they still cannot be told from the source.
        choice.options << QStringLiteral("-c:v") << QStringLiteral("libx264")
                       << QStringLiteral("-preset") << QStringLiteral("veryfast")
                       << QStringLiteral("-profile:v") << profile;
        if (video.level > 0) {
            choice.options << QStringLiteral("-level:v")
                           << QString::number(video.level / 10.0, 'f', 1);
        }
        choice.options << QStringLiteral("-crf") << quality;
        if (!bFrames) {
            choice.options << QStringLiteral("-bf") << QStringLiteral("0");
        }
    } else {
        QString parameters = QStringLiteral("log-level=error");
        if (!bFrames) {
            parameters += QStringLiteral(":bframes=0");
        }
        if (video.level > 0) {
            // The prober says the level times 30.
            parameters += QStringLiteral(":level-idc=%1").arg(video.level / 30.0, 0, 'f', 1);
        }
        choice.options << QStringLiteral("-c:v") << QStringLiteral("libx265")
                       << QStringLiteral("-preset") << QStringLiteral("fast")
                       << QStringLiteral("-profile:v") << profile << QStringLiteral("-crf")
                       << quality << QStringLiteral("-x265-params") << parameters;
    }
    choice.options << QStringLiteral("-pix_fmt") << video.pixelFormat;
    choice.options += Colours(video);
    if (Interlaced(video)) {
        const bool top =
            video.fieldOrder == QLatin1String("tt") || video.fieldOrder == QLatin1String("tb");
        if (h264) {
            choice.options << QStringLiteral("-flags") << QStringLiteral("+ildct+ilme")
                           << QStringLiteral("-x264-params")
                           << (top ? QStringLiteral("tff=1") : QStringLiteral("bff=1"));
        } else {
            choice.problem = QStringLiteral("Interlaced H.265 video cannot be written again "
                                            "the same way.");
            choice.options.clear();
        }
    }
    return choice;
}

} // namespace MatchingEncoder
