#pragma once

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// One stream of a source file as the prober describes it. The fields a cut's plan asks for most
// are read out; `raw` keeps everything the prober said of the stream.
struct SourceStream {
    int index = -1;
    QString type;  // "video", "audio", "subtitle", "data", "attachment"
    QString codec; // the prober's codec_name ("h264", "aac", "mov_text", ...)
    QString profile;
    int level = 0;
    int width = 0;
    int height = 0;
    QString pixelFormat;  // "yuv420p"
    QString sampleAspect; // "1:1"; empty when not given
    QString frameRate;    // r_frame_rate, "30000/1001"
    QString averageRate;  // avg_frame_rate
    QString timeBase;     // "1/15360"
    double startTime = 0; // seconds; 0 when not given
    double duration = -1; // seconds; -1 when not given
    qint64 bitRate = 0;   // bit/s; 0 when not given
    qint64 frames = 0;    // nb_frames; 0 when not given
    int sampleRate = 0;
    int channels = 0;
    QString fieldOrder;           // "progressive", "tt", ...; empty when not given
    QString colorRange;           // "tv", "pc"
    QString colorSpace;           // "bt709", ...
    QString colorTransfer;        // "smpte2084", ...
    QString colorPrimaries;       // "bt2020", ...
    double rotation = 0;          // degrees, from a display matrix; 0 without one
    bool attachedPicture = false; // a cover picture, not a video
    bool isDefault = false;
    bool forced = false;
    QMap<QString, QString> tags; // keys in lower case
    QJsonObject raw;

    // The frame rate as a number (r_frame_rate, else avg_frame_rate); 0 when unknown.
    double FramesPerSecond() const;
};

// What the prober says of a source file: its format, streams and chapters.
struct SourceFacts {
    // False when the prober could not be run or could not read the file; everything else is
    // then empty.
    bool known = false;
    QString formatName; // "mov,mp4,m4a,3gp,3g2,mj2", "mpegts", ...
    double duration = -1;
    double startTime = 0;
    qint64 bitRate = 0;
    qint64 size = 0;
    QMap<QString, QString> tags; // keys in lower case
    QList<SourceStream> streams;
    int chapters = 0;
    QJsonObject raw;

    // The prober's arguments (after the program) that describe `input` as Parse reads it.
    static QStringList ProbeArguments(const QString& input);
    // Reads the prober's JSON; an unreadable text gives facts that are not known.
    static SourceFacts Parse(const QString& json);

    // The streams of one type, in their order (cover pictures are not "video" here).
    QList<SourceStream> StreamsOf(const QString& type) const;
    // The first video stream that is not a cover picture; null when there is none.
    const SourceStream* MainVideo() const;
    // Whether the file has no index of its key frames (MPEG-TS, MPEG-PS, raw streams): a seek
    // in it lands near a time, often on a picture that cannot be decoded without the ones
    // before it, instead of on the key frame before that time.
    bool Indexless() const;
    // Whether a reader's name as the prober or libmpv gives it ("mpegts", or a list such as
    // "mov,mp4,m4a") names a reader without an index.
    static bool IndexlessFormat(const QString& formatName);
};
